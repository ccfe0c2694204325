#pragma once

#include "phone/input/EventNodes.h"

namespace tavrin {

// The input daemon's start routine: "TOKEN-SUCCESS", then serve the port
// named by argv[1] until a peer leaves. Always returns 0.
// Injection goes to `nodes`, or to the X display when
// $TAVRIN_INPUT_BACKEND is "x11".
int runInputDaemon(int argc, char** argv, EventNodes& nodes);

}  // namespace tavrin
