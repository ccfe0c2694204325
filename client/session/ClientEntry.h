#pragma once

namespace tavrin {

// The client's program entry: single instance, parameters, session. Returns
// the exit code: 0 for a good session, -1 otherwise.
int runClient(int argc, char** argv);

}  // namespace tavrin
