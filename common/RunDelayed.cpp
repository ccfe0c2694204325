#include "common/RunDelayed.h"

#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

namespace tavrin {

namespace {
struct DelayedTask {
  DelayedFunction function;
  void* argument;
  DelayedCompletion completion;
  void* completionArgument;
  unsigned delayMs;
};
}  // namespace

bool runDelayed(DelayedFunction function, void* argument, DelayedCompletion completion,
                void* completionArgument, unsigned delayMs) {
  if (!function) return false;
  auto task = std::make_unique<DelayedTask>(
      DelayedTask{function, argument, completion, completionArgument, delayMs});
  try {
    std::thread([task = std::move(task)] {
      if (task->delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(task->delayMs));
      int result = task->function(task->argument);
      if (task->completion) task->completion(result, task->completionArgument);
    }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

}  // namespace tavrin
