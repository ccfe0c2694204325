#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/session/EventDispatch.h"
#include "client/session/FramePacer.h"
#include "client/session/UserEvents.h"

using namespace tavrin;

namespace {

struct Window : IWindowEventTarget {
  std::vector<std::string> log;
  void onQuitEvent() override { log.push_back("quit"); }
  void onOwnWindowEvent(int id, int d1, int d2) override {
    log.push_back("window " + std::to_string(id) + " " + std::to_string(d1) + "x" + std::to_string(d2));
  }
  void onJoystickAdded() override { log.push_back("joystick"); }
  void onRotation(int r) override { log.push_back("rotation " + std::to_string(r)); }
  void onWarpMouse(int x, int y) override { log.push_back("warp " + std::to_string(x) + "," + std::to_string(y)); }
  void onStreamClosed() override { log.push_back("stream closed"); }
};

struct Recorder : IEventCallback {
  Recorder(std::string name, std::vector<std::string>& log, bool consumeKeys)
      : name(std::move(name)), log(log), consumeKeys(consumeKeys) {}
  bool onKey(uint32_t, int32_t sym) override {
    log.push_back(name + " key " + std::to_string(sym));
    return consumeKeys;
  }
  bool onMouse(uint32_t type, uint32_t button, int clicks, int x, int y) override {
    log.push_back(name + " mouse " + std::to_string(type) + " " + std::to_string(button) + " " +
                  std::to_string(clicks) + " " + std::to_string(x) + "," + std::to_string(y));
    return false;
  }
  bool onUserEvent(int32_t code, intptr_t d1, intptr_t) override {
    log.push_back(name + " user " + std::to_string(code) + " " + std::to_string(d1));
    return false;
  }
  std::string name;
  std::vector<std::string>& log;
  bool consumeKeys;
};

SDL_Event userEvent(int32_t code, intptr_t d1) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_USEREVENT;
  e.user.code = code;
  e.user.data1 = reinterpret_cast<void*>(d1);
  return e;
}

}  // namespace

TEST(EventDispatch, ConsumedKeyStopsTheWalkUserEventsReachAll) {
  Window window;
  std::vector<std::string> log;
  Recorder a("a", log, false), b("b", log, true), c("c", log, false);
  std::vector<IEventCallback*> callbacks{&a, &b, &c};

  SDL_Event key;
  SDL_zero(key);
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_q;
  dispatchEvent(key, window, callbacks);
  EXPECT_EQ(log, (std::vector<std::string>{"a key 113", "b key 113"}));

  log.clear();
  dispatchEvent(userEvent(EVT_ROTATION, 1), window, callbacks);
  dispatchEvent(userEvent(EVT_STREAM_CLOSED, 1), window, callbacks);
  EXPECT_EQ(window.log, (std::vector<std::string>{"rotation 1", "stream closed"}));
  EXPECT_EQ(log, (std::vector<std::string>{"a user 1026 1", "b user 1026 1", "c user 1026 1",
                                           "a user 1025 1", "b user 1025 1", "c user 1025 1"}));
}

TEST(EventDispatch, WindowPartsAndMouseArguments) {
  Window window;
  std::vector<std::string> log;
  Recorder a("a", log, false);
  std::vector<IEventCallback*> callbacks{&a};
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_QUIT;
  dispatchEvent(e, window, callbacks);
  SDL_zero(e);
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_RESIZED;
  e.window.data1 = 800;
  e.window.data2 = 600;
  dispatchEvent(e, window, callbacks);
  dispatchEvent(userEvent(EVT_WARP_MOUSE, 5), window, callbacks);
  SDL_zero(e);
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.clicks = 2;
  e.button.x = 10;
  e.button.y = 20;
  dispatchEvent(e, window, callbacks);
  SDL_zero(e);
  e.type = SDL_MOUSEWHEEL;
  e.wheel.x = 0;
  e.wheel.y = -1;
  dispatchEvent(e, window, callbacks);
  EXPECT_EQ(window.log, (std::vector<std::string>{"quit", "window 5 800x600", "warp 5,0"}));
  EXPECT_EQ(log, (std::vector<std::string>{"a user 1031 5", "a mouse 1025 1 2 10,20", "a mouse 1027 0 0 0,-1"}));
}

TEST(FramePacer, WaitsOnlyWhenPresentDidNotWait) {
  using namespace std::chrono;
  FramePacer pacer(0);  // unknown rate counts as 60 Hz
  EXPECT_EQ(duration_cast<microseconds>(pacer.interval()).count(), 16666);
  FramePacer::Clock::time_point t0{};
  // Present returned at once after 2 ms of work: sleep the rest of the frame.
  EXPECT_EQ(duration_cast<microseconds>(pacer.waitAfterFrame(t0, t0 + 2ms, t0 + 2ms + 100us)).count(), 16666 - 2100);
  // Present waited for the display: add nothing.
  EXPECT_EQ(pacer.waitAfterFrame(t0, t0 + 1ms, t0 + 16ms).count(), 0);
  // A slow frame without vsync: no wait either.
  EXPECT_EQ(pacer.waitAfterFrame(t0, t0 + 20ms, t0 + 20ms).count(), 0);
}
