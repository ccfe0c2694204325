#pragma once

#include <cstdint>

namespace tavrin {

// Receiver of event-channel messages of one type; called on the channel's
// reader thread.
class IListenerCallback {
 public:
  virtual void onMessage(int32_t type) = 0;
  virtual ~IListenerCallback() = default;
};

}  // namespace tavrin
