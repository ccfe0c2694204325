// Mirrors a 720x1280, 60 fps stream served from a file over loopback for ten
// seconds, in a real client window under a private Xvfb, and prints what the
// client decoded, showed and dropped, its CPU use and peak memory.
//
//   build/bench/session_bench [seconds]
//
// Uses the fixed phone ports 2539 and 2541: run it when no phone programs
// or tests are running.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/X11Window.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProcessStats.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestNet.h"
#include "tests/support/Xvfb.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono;

namespace {

// Access units of an Annex B stream written with delimiters (x264 aud=1):
// each starts at a 00 00 00 01 09.
std::vector<std::string> splitAtDelimiters(const std::string& s) {
  std::vector<std::string> units;
  size_t start = 0;
  for (size_t i = 4; i + 4 < s.size(); ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 0 && s[i + 3] == 1 && (s[i + 4] & 0x1F) == 9) {
      units.push_back(s.substr(start, i - start));
      start = i;
    }
  }
  units.push_back(s.substr(start));
  return units;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  TempDir dir;
  std::string file = dir.file("stream.h264");
  std::string out;
  auto made = runCommand({"ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                          "testsrc2=s=720x1280:r=60", "-t", std::to_string(seconds + 2), "-c:v", "libx264",
                          "-preset", "ultrafast", "-tune", "zerolatency", "-b:v", "4500k", "-pix_fmt", "yuv420p",
                          "-x264-params", "aud=1", "-f", "h264", file},
                         &out, minutes(5));
  if (made != 0) {
    std::fprintf(stderr, "ffmpeg failed: %s\n", out.c_str());
    return 1;
  }
  auto units = splitAtDelimiters(readFile(file));

  Xvfb xvfb(1920, 1080);  // a common desktop: the window is 540 x 880
  if (!xvfb.ok()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  Listener video(2539), events(2541);
  if (!video.ok() || !events.ok()) {
    std::fprintf(stderr, "ports 2539/2541 are busy\n");
    return 1;
  }
  std::atomic<bool> stop{false}, pause{false};
  std::atomic<int> sent{0};
  std::thread server([&] {
    int v = video.accept(seconds * 1000ms + 10s);
    int e = events.accept(10s);
    auto next = steady_clock::now();
    for (const auto& unit : units) {
      if (stop || pause) break;
      std::this_thread::sleep_until(next);
      next += microseconds(16667);
      if (!sendAll(v, unit.data(), unit.size())) break;
      ++sent;
    }
    while (!stop) std::this_thread::sleep_for(10ms);
    if (v >= 0) ::close(v);
    if (e >= 0) ::close(e);
  });

  ChildProcess client;
  client.start({std::string(TAVRIN_BIN_DIR) + "/TavrinMirrorClient", "127.0.0.1", "2539", "12347", "0", "1080",
                "1920", "0", "720", "1280"},
               {{"DISPLAY", xvfb.display()}, {"TAVRIN_LOG_DIR", dir.path()}, {"XDG_RUNTIME_DIR", dir.path()}});
  X11Display x(xvfb.display());
  unsigned long window = 0;
  for (int i = 0; i < 200 && !window; ++i) {
    auto found = x.findWindows("Tavrin", "SDL_app");
    if (!found.empty()) window = found.front();
    else std::this_thread::sleep_for(50ms);
  }
  if (!window) {
    std::fprintf(stderr, "no client window\n");
    stop = true;
    server.join();
    return 1;
  }
  // Mirroring starts once the first pictures flow.
  std::this_thread::sleep_for(1s);
  double cpu0 = processCpuSeconds(client.pid());
  auto t0 = steady_clock::now();
  std::this_thread::sleep_for(seconds * 1s);
  double cpu1 = processCpuSeconds(client.pid());
  double wall = duration<double>(steady_clock::now() - t0).count();
  long peak = peakResidentKiB(client.pid());
  // Let the pictures in flight reach the screen before the window closes.
  pause = true;
  std::this_thread::sleep_for(500ms);
  // SDL recreates its window for a GL renderer: close the one that is there now.
  auto now = x.findWindows("Tavrin", "SDL_app");
  x.closeWindow(now.empty() ? window : now.front());
  auto status = client.wait(10s);
  stop = true;
  server.join();

  std::string log = readFile(dir.file("TavrinMirrorClient.log"));
  size_t stats = log.rfind("session:");
  std::printf("pictures sent by the server : %d\n", sent.load());
  std::printf("client report               : %s", stats == std::string::npos ? "(none)\n" : log.substr(stats).c_str());
  std::printf("client CPU                  : %.3f s per s of mirroring\n", (cpu1 - cpu0) / wall);
  std::printf("client peak resident memory : %.1f MiB\n", double(peak) / 1024.0);
  std::printf("client exit status          : %d\n", status.value_or(-1));
  return 0;
}
