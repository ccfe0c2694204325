#pragma once

namespace tavrin::mirror {

// The whole program: TOKEN-SUCCESS, the lock, the options, the two ports,
// the session. Returns the exit code.
int mirrorMain(int argc, char** argv);

// TAVRIN_NO_AUD=1 leaves the delimiter trailer out (for side-by-side
// latency figures); anything else keeps it.
bool delimiterEnabled(const char* noAud);

}  // namespace tavrin::mirror
