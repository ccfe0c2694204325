#pragma once

namespace tavrin {

// Implemented by the owners of a TcpClient (the video producer, the event
// listener). onDataReady and onDisconnected run on the client's reader thread.
class IIoCallback {
 public:
  virtual void onConnected() = 0;
  virtual void onDataReady() = 0;
  virtual void onStopped() = 0;
  virtual void onDisconnected(int reason) = 0;
  virtual ~IIoCallback() = default;
};

}  // namespace tavrin
