// input_rtt_bench [seconds]
// Lock-step exchanges over loopback: CMD_MULTI_TOUCH frames with two moving
// contacts to the input daemon (its real server, handlers and touch device;
// the panel node is a stand-in that costs one write() per record like the
// kernel's), then as many 24-byte request / 16-byte reply exchanges with a
// bare echo server, the limit of the transport.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "phone/input/CommandServer.h"
#include "phone/input/EventNodeBackend.h"

using namespace tavrin;
using Clock = std::chrono::steady_clock;

namespace {

// One touch panel with slots at event0; records go to /dev/null.
class NullPanel : public EventNodes {
 public:
  NullPanel() : sink_(::open("/dev/null", O_WRONLY | O_CLOEXEC)) {}
  ~NullPanel() override { ::close(sink_); }
  int open(const std::string& path) override { return path == eventNodePath(0) ? 1 : -1; }
  void close(int) override {}
  bool queryBits(int, int type, uint8_t* bits, size_t size) override {
    std::fill(bits, bits + size, 0);
    auto set = [&](int bit) { bits[bit / 8] |= uint8_t(1 << bit % 8); };
    if (type == 0) {
      set(EV_ABS);
    } else if (type == EV_ABS) {
      for (int axis : {ABS_X, ABS_Y, ABS_MT_SLOT, ABS_MT_POSITION_X, ABS_MT_POSITION_Y}) set(axis);
    }
    return true;
  }
  bool queryAbs(int, int, input_absinfo& info) override {
    info = input_absinfo{};
    info.maximum = 1079;
    return true;
  }
  void write(int, const input_event& event) override {
    ssize_t ignored = ::write(sink_, &event, sizeof event);
    (void)ignored;
  }

 private:
  int sink_;
};

int freePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

int connectTo(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  for (int attempt = 0; attempt < 200; ++attempt) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return fd;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

bool recvAll(int fd, uint8_t* data, size_t size) {
  while (size) {
    ssize_t n = recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

struct Result {
  size_t exchanges = 0;
  double seconds = 0;
  double medianUs = 0;
  double p99Us = 0;
  double rate() const { return exchanges / seconds; }
};

Result summarize(std::vector<double>& rtts, double seconds) {
  Result r;
  r.exchanges = rtts.size();
  r.seconds = seconds;
  if (rtts.empty()) return r;
  std::sort(rtts.begin(), rtts.end());
  r.medianUs = rtts[rtts.size() / 2];
  r.p99Us = rtts[std::min(rtts.size() - 1, rtts.size() * 99 / 100)];
  return r;
}

// Lock-step multi-touch frames to the daemon until `duration` has passed.
Result runDaemon(double duration) {
  const int port = freePort();
  NullPanel panel;
  EventNodeBackend backend(panel);
  CommandServer server;
  if (!server.OpenSocket(uint16_t(port)) || !server.InitCmd(backend)) {
    std::fprintf(stderr, "daemon did not start\n");
    std::exit(1);
  }
  std::thread loop([&] { server.Loop(); });

  int fd = connectTo(port);
  uint8_t greeting[INPUT_GREETING_SIZE];
  if (fd < 0 || !recvAll(fd, greeting, sizeof greeting)) {
    std::fprintf(stderr, "no greeting\n");
    std::exit(1);
  }
  std::vector<double> rtts;
  rtts.reserve(1 << 20);
  uint8_t payload[4 + 2 * CONTACT_RECORD_SIZE], frame[MAX_REQUEST_FRAME], reply[16];
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(duration);
  for (uint32_t i = 0; Clock::now() < end; ++i) {
    // Both contacts move every time, so each frame costs the full 20 records.
    Contact contacts[2] = {{1, int32_t(100 + i % 500), 900}, {2, int32_t(600 - i % 500), 1200}};
    buildContactsPayload(contacts, 2, payload, sizeof payload);
    size_t size = buildFrame(CMD_MULTI_TOUCH, payload, sizeof payload, frame, sizeof frame);
    auto t0 = Clock::now();
    if (send(fd, frame, size, MSG_NOSIGNAL) != ssize_t(size) || !recvAll(fd, reply, sizeof reply) ||
        readWord(reply + 8) != STATUS_OK) {
      std::fprintf(stderr, "daemon exchange %u failed\n", i);
      std::exit(1);
    }
    rtts.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);  // the daemon's loop ends when its peer leaves
  loop.join();
  return summarize(rtts, seconds);
}

// The same number of 24-byte/16-byte exchanges with a bare echo server.
Result runEcho(size_t exchanges) {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  listen(listener, 1);
  std::thread echo([listener] {
    int fd = accept(listener, nullptr, nullptr);
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    uint8_t request[24], reply[16] = {16};
    while (recvAll(fd, request, sizeof request))
      if (send(fd, reply, sizeof reply, MSG_NOSIGNAL) != ssize_t(sizeof reply)) break;
    ::close(fd);
  });

  int fd = connectTo(ntohs(a.sin_port));
  std::vector<double> rtts;
  rtts.reserve(exchanges);
  uint8_t request[24] = {24}, reply[16];
  const auto start = Clock::now();
  for (size_t i = 0; i < exchanges; ++i) {
    auto t0 = Clock::now();
    if (send(fd, request, sizeof request, MSG_NOSIGNAL) != ssize_t(sizeof request) ||
        !recvAll(fd, reply, sizeof reply)) {
      std::fprintf(stderr, "echo exchange failed\n");
      std::exit(1);
    }
    rtts.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  echo.join();
  ::close(listener);
  return summarize(rtts, seconds);
}

void print(const char* name, const Result& r) {
  std::printf("%-6s %9zu exchanges in %5.2f s: %8.0f /s, median %6.1f us, p99 %6.1f us\n", name,
              r.exchanges, r.seconds, r.rate(), r.medianUs, r.p99Us);
}

}  // namespace

int main(int argc, char** argv) {
  const double duration = argc > 1 ? std::atof(argv[1]) : 5.0;
  Result daemon = runDaemon(duration);
  Result echo = runEcho(daemon.exchanges);
  print("daemon", daemon);
  print("echo", echo);
  const double ratio = daemon.rate() / echo.rate();
  std::printf("daemon/echo rate: %.1f %% (target >= 80 %%): %s\n", ratio * 100,
              ratio >= 0.8 ? "met" : "NOT met");
  return 0;
}
