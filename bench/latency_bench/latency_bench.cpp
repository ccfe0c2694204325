// Capture-to-decoded latency of the whole video path on loopback: the capture
// server with its synthetic display (which stamps its capture time into every
// picture) at 720x1280 and 60 fps, read by the client's frame producer and
// decoder, once with the delimiter trailer and once without it
// (TAVRIN_NO_AUD=1). Prints median and 95th percentile of the time from
// capture to the decoded picture in the client's queue, and the server's CPU
// seconds per second.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "client/session/FrameProducer.h"
#include "client/session/FrameQueue.h"
#include "common/Ports.h"
#include "common/Singleton.h"
#include "phone/mirror/TestPattern.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"

using namespace tavrin;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int VIDEO_WIDTH = 720;
constexpr int VIDEO_HEIGHT = 1280;
// The encoder's first key frame and the decoder's start are not the steady state.
constexpr auto WARM_UP = 1s;
// How often the reader looks at the queue; adds at most this to a figure.
constexpr auto POLL = 200us;

const char USAGE[] =
    "usage: latency_bench [SECONDS]\n"
    "Runs tavrinmirror (synthetic display, 720x1280, 60 fps) twice, with and without the\n"
    "access unit delimiter (TAVRIN_NO_AUD=1), reads it with the client's frame producer and\n"
    "decoder, and prints capture-to-decoded latency (median, 95th percentile) over SECONDS\n"
    "(default 10) and the server's CPU seconds per second.\n"
    "This is a benchmark, not a test: it uses the fixed phone ports 2539 and 2541 on this\n"
    "computer, so do not run it while the tests or the demo run.\n";

struct Figures {
  std::string error;  // empty when the run worked
  size_t pictures = 0;
  size_t unreadable = 0;  // pictures whose stamp did not read back
  double seconds = 0;
  double medianMs = 0;
  double p95Ms = 0;
  double maxMs = 0;
  double serverCpu = 0;  // CPU seconds per second
};

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  size_t rank = size_t(q * double(sorted.size()) + 0.999999);
  return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

Figures measure(bool delimiter, double seconds) {
  Figures f;
  test::TempDir phone;
  test::ChildProcess server;
  std::map<std::string, std::string> env = {{"TAVRIN_CAPTURE", "test"},
                                            {"TAVRIN_PHONE_DIR", phone.path()},
                                            {"TAVRIN_LOG_DIR", ""},
                                            {"TAVRIN_NO_AUD", delimiter ? "" : "1"}};
  std::string size = std::to_string(VIDEO_WIDTH) + "x" + std::to_string(VIDEO_HEIGHT);
  if (!server.start({TAVRIN_MIRROR_PROGRAM, "--size", size}, env) || server.readLine(5s) != "TOKEN-SUCCESS") {
    f.error = "tavrinmirror did not start (" TAVRIN_MIRROR_PROGRAM ")";
    return f;
  }
  // Watch for the listener instead of probing it: a probe would be the
  // server's only client.
  if (!test::waitListening(VIDEO_PORT, 10s)) {
    f.error = "nothing listens on 2539 (is another capture server running?)";
    return f;
  }
  FrameProducer producer;
  if (!producer.start("127.0.0.1", VIDEO_PORT)) {
    f.error = "cannot connect to 2539";
    return f;
  }
  int events = test::waitListening(EVENT_PORT, 10s) ? test::connectLoopback(EVENT_PORT, 5s) : -1;
  if (events < 0) {
    f.error = "cannot connect to 2541";
    return f;
  }

  FrameQueue& queue = Singleton<FrameQueue>::instance();
  std::vector<double> latencies;
  latencies.reserve(size_t(seconds * 70));
  auto start = Clock::now();
  auto measureFrom = start + WARM_UP;
  auto measureUntil = measureFrom + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  double cpuFrom = -1;
  Clock::time_point wallFrom;
  for (Clock::time_point now = start; now < measureUntil; now = Clock::now()) {
    if (cpuFrom < 0 && now >= measureFrom) {
      cpuFrom = test::processCpuSeconds(server.pid());
      wallFrom = now;
    }
    const AVFrame* picture = queue.peekFront();
    if (!picture) {
      std::this_thread::sleep_for(POLL);
      continue;
    }
    uint64_t decodedUs = mirror::stampClockUs();
    // The display fills the whole 720x1280 video, so the stamp sits at (0, 0).
    std::optional<uint64_t> captured = mirror::readStamp(picture->data[0], picture->linesize[0], 0, 0, picture->width);
    queue.popFront();
    if (now < measureFrom) continue;
    if (!captured) {
      ++f.unreadable;
      continue;
    }
    uint64_t age = (decodedUs - *captured) & mirror::STAMP_TIME_MASK;
    latencies.push_back(double(age) / 1000.0);
  }
  double cpuUntil = test::processCpuSeconds(server.pid());
  f.seconds = std::chrono::duration<double>(Clock::now() - wallFrom).count();
  f.serverCpu = (cpuFrom >= 0 && cpuUntil >= 0) ? (cpuUntil - cpuFrom) / f.seconds : -1;

  // Closing the client ends the server.
  producer.stop();
  ::close(events);
  if (!server.wait(5s)) server.kill();

  f.pictures = latencies.size() + f.unreadable;
  if (latencies.empty()) {
    f.error = "no picture with a readable stamp arrived";
    return f;
  }
  std::sort(latencies.begin(), latencies.end());
  f.medianMs = percentile(latencies, 0.5);
  f.p95Ms = percentile(latencies, 0.95);
  f.maxMs = latencies.back();
  return f;
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10;
  if (argc > 2 || (argc == 2 && (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")))) {
    std::fputs(USAGE, argc == 2 ? stdout : stderr);
    return argc == 2 ? 0 : 2;
  }
  if (argc == 2) {
    char* end = nullptr;
    seconds = std::strtod(argv[1], &end);
    if (*end || !(seconds > 0 && seconds <= 3600)) {
      std::fputs(USAGE, stderr);
      return 2;
    }
  }
  std::printf("capture server: synthetic 1080x1920 display -> %dx%d video at 60 fps, loopback 2539/2541, "
              "%.0f s per run after %.0f s warm-up\n",
              VIDEO_WIDTH, VIDEO_HEIGHT, seconds, std::chrono::duration<double>(WARM_UP).count());
  std::fflush(stdout);

  Figures on = measure(true, seconds);
  if (!on.error.empty()) {
    std::fprintf(stderr, "latency_bench: with delimiter: %s\n", on.error.c_str());
    return 1;
  }
  Figures off = measure(false, seconds);
  if (!off.error.empty()) {
    std::fprintf(stderr, "latency_bench: without delimiter: %s\n", off.error.c_str());
    return 1;
  }

  std::printf("%-34s %16s %16s\n", "", "delimiter", "TAVRIN_NO_AUD=1");
  std::printf("%-34s %16zu %16zu\n", "pictures decoded", on.pictures, off.pictures);
  std::printf("%-34s %16.1f %16.1f\n", "pictures per second", double(on.pictures) / on.seconds,
              double(off.pictures) / off.seconds);
  std::printf("%-34s %16zu %16zu\n", "stamps unreadable", on.unreadable, off.unreadable);
  std::printf("%-34s %13.2f ms %13.2f ms\n", "capture-to-decoded median", on.medianMs, off.medianMs);
  std::printf("%-34s %13.2f ms %13.2f ms\n", "capture-to-decoded 95th percentile", on.p95Ms, off.p95Ms);
  std::printf("%-34s %13.2f ms %13.2f ms\n", "capture-to-decoded maximum", on.maxMs, off.maxMs);
  std::printf("%-34s %16.3f %16.3f\n", "server CPU seconds per second", on.serverCpu, off.serverCpu);
  std::printf("targets with the delimiter: median <= 12 ms %s, p95 <= 25 ms %s, server <= 0.5 CPU s/s %s\n",
              verdict(on.medianMs <= 12), verdict(on.p95Ms <= 25), verdict(on.serverCpu >= 0 && on.serverCpu <= 0.5));
  return 0;
}
