#include "phone/input/CommandServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "phone/input/InputTrace.h"
#include "phone/input/KeyCommandHandler.h"
#include "phone/input/TouchCommandHandler.h"

namespace tavrin {

CommandServer::~CommandServer() {
  for (int fd : connections_) ::close(fd);
  if (listening_ >= 0) ::close(listening_);
  for (auto& handler : handlers_) handler->Close();
}

bool CommandServer::OpenSocket(uint16_t port) {
  inputTrace("open socket\n");
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  int on = 1;
  timeval sendTimeout{1, 0};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout) != 0 ||
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0 ||
      bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0) {
    ::close(fd);
    return false;
  }
  listening_ = fd;
  inputTrace("open socket suc\n");
  return true;
}

bool CommandServer::InitCmd(InputBackend& backend) {
  handlers_.push_back(std::make_unique<TouchCommandHandler>(backend.makeTouch()));
  if (!handlers_.back()->Init()) return false;
  handlers_.push_back(std::make_unique<KeyCommandHandler>(backend.makeKeys()));
  handlers_.back()->Init();
  inputTrace("init cmd suc\n");
  return true;
}

void CommandServer::adoptConnection(int fd) { connections_.push_back(fd); }

bool CommandServer::WaitData(uint8_t* buffer, size_t* size, int* connection, bool* timedOut,
                             int seconds) {
  if (connections_.empty() && listening_ < 0) return false;
  const int wanted = *connection;
  if (wanted >= 0) {
    // The rest of a frame has nearly always come with its length word: take
    // it without a wait. Anything else (nothing yet, the peer gone, an error)
    // goes the long way below, so the outcome is the same.
    ssize_t got = recv(wanted, buffer, *size, MSG_DONTWAIT);
    if (got > 0) {
      *size = size_t(got);
      return true;
    }
  }
  for (;;) {
    // poll rather than select: no limit on descriptor numbers.
    waitSet_.clear();
    if (listening_ >= 0) waitSet_.push_back({listening_, POLLIN, 0});
    const size_t first = waitSet_.size();
    if (wanted >= 0) {
      waitSet_.push_back({wanted, POLLIN, 0});
    } else {
      for (int fd : connections_) waitSet_.push_back({fd, POLLIN, 0});
    }
    int ready = poll(waitSet_.data(), waitSet_.size(), seconds * 1000);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (ready == 0) {
      *timedOut = true;
      *size = 0;
      return true;
    }

    bool accepted = false;
    if (listening_ >= 0 && waitSet_[0].revents) {
      int fd = accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        connections_.push_back(fd);
        accepted = true;
        inputTrace("accept %d\n", fd);
        ssize_t sent = ::send(fd, INPUT_GREETING, INPUT_GREETING_SIZE, MSG_NOSIGNAL);
        inputTrace("say hello %d\n", int(sent));
      }
    }

    // Only descriptors that were in this wait's set; a connection accepted
    // just now was not.
    for (size_t i = first; i < waitSet_.size(); ++i) {
      if (!waitSet_[i].revents) continue;
      ssize_t got = recv(waitSet_[i].fd, buffer, *size, 0);
      if (got > 0) {
        *size = size_t(got);
        *connection = waitSet_[i].fd;
        return true;
      }
    }
    if (!accepted) return false;
  }
}

void CommandServer::Drain(uint32_t count, int connection) {
  while (count != 0) {
    size_t size = sizeof buffer_;
    int from = connection;
    bool timedOut = false;
    if (!WaitData(buffer_, &size, &from, &timedOut, DRAIN_WAIT_SECONDS)) return;
    if (timedOut || size == 0 || size > count) return;
    count -= uint32_t(size);
  }
}

void CommandServer::Dispatch(CommandReply& reply, const uint8_t* frame, uint32_t length) {
  if (!frameIsWellFormed(frame, length)) return;
  const uint32_t commandId = readWord(frame + 8);
  for (auto& handler : handlers_) {
    if (!handler->CanDoCmd(commandId)) continue;
    inputTrace("main:DoCmd%08x\n", commandId);
    if (handler->DoCmd(&reply, commandId, frame + FRAME_PAYLOAD_OFFSET,
                       length - uint32_t(FRAME_OVERHEAD))) {
      inputTrace("main:DoCmd%08x finish\n", commandId);
      inputTrace("main:%08x true and write socket\n", commandId);
    } else {
      inputTrace("main:DoCmd%08x failed\n", commandId);
      reply.SetResult(STATUS_FAILED, nullptr, 0);
    }
  }
}

void CommandServer::Loop() {
  CommandReply reply;
  for (;;) {
    size_t size = 4;
    int connection = -1;
    bool timedOut = false;
    if (!WaitData(buffer_, &size, &connection, &timedOut, FRAME_WAIT_SECONDS)) break;
    inputTrace("loop read %d\n", int(size));
    if (size < 4) continue;  // a time-out, or a stray piece of a length word

    reply.Prepare(this, connection);
    inputTrace("loop init %d\n", connection);
    const uint32_t length = readWord(buffer_);
    inputTrace("loop cmdlen %d\n", int(length));
    if (length > MAX_REQUEST_FRAME) {
      Drain(length - 4, connection);
      continue;
    }
    if (length <= 4) {
      // Nothing behind the length word to read: answer it as malformed.
      reply.Send();
      continue;
    }
    const size_t expected = length - 4;
    size = expected;
    if (!WaitData(buffer_ + 4, &size, &connection, &timedOut, FRAME_WAIT_SECONDS)) break;
    if (size != expected) {
      inputTrace("continue %d %d\n", int(size), int(expected));
      continue;
    }
    inputTrace("loop dealcmd %d\n", int(length));
    Dispatch(reply, buffer_, length);
    reply.Send();
  }
  inputTrace("loop over\n");
}

}  // namespace tavrin
