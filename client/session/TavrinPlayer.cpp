#include "client/session/TavrinPlayer.h"

#include <SDL.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "client/session/EventListener.h"
#include "client/session/UserEvents.h"
#include "common/Ports.h"
#include "common/Singleton.h"
#include "platform/Log.h"

namespace tavrin {

namespace {
constexpr const char* LOG_TAG = "TavrinMirrorClient";
}

TavrinPlayer::TavrinPlayer() = default;

TavrinPlayer::~TavrinPlayer() { producer_.stop(); }

bool TavrinPlayer::init(const StartParams& params) {
  if (!startParamsAcceptable(params)) {
    logFileLine(LOG_TAG, "init: parameters rejected (host, display width or video width)");
    return false;
  }
  params_ = params;
  window_ = SDLWindow::createWindow();
  if (!window_) {
    logFileLine(LOG_TAG, "init: window not created: %s", SDL_GetError());
    return false;
  }
  windowAlive_ = true;
  // The mouse and keyboard handlers join the window's callbacks here.
  return true;
}

bool TavrinPlayer::connectPhone() {
  if (!producer_.start(params_.host)) {
    logFileLine(LOG_TAG, "connectPhone: video stream %s:%d not reached: %s", params_.host, VIDEO_PORT,
                std::strerror(errno));
    return false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!Singleton<EventListener>::instance().connect(params_.host, this)) {
    logFileLine(LOG_TAG, "connectPhone: event channel %s:%d not reached: %s", params_.host, EVENT_PORT,
                std::strerror(errno));
    return false;
  }
  // The phone controller comes up here; without it the session mirrors but
  // does not forward input.
  return true;
}

bool TavrinPlayer::createView() {
  if (!window_) return false;
  // With a phone controller whose device knows KEY_BACK and KEY_HOME, the
  // menu bar is shown.
  bool hasMenuBar = false;
  if (!window_->createRenderer(ViewParams{params_.videoWidth, params_.videoHeight, hasMenuBar})) {
    logFileLine(LOG_TAG, "createView: renderer not created: %s", SDL_GetError());
    return false;
  }
  window_->setIcon();
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
    logFileLine(LOG_TAG, "createView: desktop size unknown: %s", SDL_GetError());
    return false;
  }
  auto size = viewWindowSize({mode.w, mode.h}, hasMenuBar);
  if (!size || !window_->sdlWindow()) {
    logFileLine(LOG_TAG, "createView: desktop %dx%d too small", mode.w, mode.h);
    return false;
  }
  window_->setViewSize(*size);
  pushUserEvent(EVT_ROTATION, params_.displayRotation, 0);
  return true;
}

bool TavrinPlayer::run() {
  if (!window_) return false;
  window_->runMainLoop();
  return !window_->streamEnded();
}

void TavrinPlayer::shutdown() {
  producer_.stop();
  windowAlive_ = false;
  if (window_) {
    window_->close();
    auto totals = Singleton<FrameQueue>::instance().totals();
    logFileLine(LOG_TAG, "session: %llu pictures decoded, %lu shown, %llu dropped by a full queue",
                static_cast<unsigned long long>(totals.pushed + totals.dropped), window_->picturesShown(),
                static_cast<unsigned long long>(totals.dropped));
  }
}

void TavrinPlayer::onMessage(int32_t type) {
  if (type != MSG_ROTATION || !windowAlive_) return;
  const auto& payload = Singleton<EventListener>::instance().payload();
  if (payload.empty()) return;
  pushUserEvent(EVT_ROTATION, payload[0], 0);
}

}  // namespace tavrin
