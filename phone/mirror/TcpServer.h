#pragma once

#include "phone/mirror/SocketServer.h"

namespace tavrin::mirror {

// Listens on all addresses, accepts one client and writes to it with a
// 1-second send time-out and Nagle off, so each picture leaves at once.
class TcpServer : public ISocketServer {
 public:
  TcpServer() = default;
  ~TcpServer() override;
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  bool open(int port) override;
  bool waitForClient() override;
  int64_t receive(uint8_t* buffer, size_t length) override;
  int64_t send(const uint8_t* buffer, size_t length) override;
  bool isAsync() const override { return false; }
  void close() override;

 private:
  int listenSocket_ = -1;
  int clientSocket_ = -1;
};

}  // namespace tavrin::mirror
