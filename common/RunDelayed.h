#pragma once

namespace tavrin {

using DelayedFunction = int (*)(void* argument);
using DelayedCompletion = void (*)(int result, void* argument);

// Runs function(argument) on a detached thread after delayMs (0: at once),
// then completion(result, completionArgument) when a completion is given.
// False when the thread could not be started.
bool runDelayed(DelayedFunction function, void* argument, DelayedCompletion completion,
                void* completionArgument, unsigned delayMs);

}  // namespace tavrin
