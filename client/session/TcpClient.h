#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "client/session/IIoCallback.h"
#include "client/session/IoDevice.h"

namespace tavrin {

// Reading client of one phone-side TCP service. One connect, a reader thread
// that calls the owner back when bytes wait or the peer went away, and
// non-blocking read/write for use inside those callbacks. No reconnection.
class TcpClient : public IoDevice {
 public:
  static constexpr std::chrono::milliseconds CONNECT_TIMEOUT{5000};

  TcpClient() = default;
  // Stops the reader (within about a second), calls onStopped, closes.
  ~TcpClient() override;
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  void setCallback(IIoCallback* callback) { callback_ = callback; }

  // Blocking connect with CONNECT_TIMEOUT; an empty or null host is 127.0.0.1.
  bool connect(int port, const char* host);

  // The owner start sequence: clear the stop flag, connect, owner's
  // onConnected, then the reader thread. False when connect or the thread fails.
  bool start(int port, const char* host);

  // The reader sleeps until at least this many bytes wait (or the peer
  // closes), so an owner waiting for a whole header is not woken per byte.
  bool setReadLowWater(int bytes);

  uint32_t bytesAvailable() override;
  bool read(uint8_t* buffer, size_t* length) override;
  bool readAvailable(std::vector<uint8_t>& out) override;
  bool write(const uint8_t* buffer, size_t* length) override;

  bool isOpen() const { return socket_.load() >= 0; }
  // Closes the connection; callable from the owner's callbacks, after which
  // the reader ends at its next check without onDisconnected.
  void closeConnection() { closeSocket(); }
  // Stops and joins the reader, then onStopped and close; what the destructor does.
  void stop();

 private:
  void readerLoop();
  void closeSocket();
  void closeOnFatalError(int error);

  IIoCallback* callback_ = nullptr;
  std::atomic<int> stopFlag_{0};
  std::atomic<int> socket_{-1};
  std::thread reader_;
  bool stopped_ = false;
};

}  // namespace tavrin
