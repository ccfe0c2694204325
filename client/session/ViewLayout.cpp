#include "client/session/ViewLayout.h"

#include <algorithm>
#include <utility>

namespace tavrin {

namespace {

Size oriented(Size s, bool longSideVertical) {
  int a = std::min(s.w, s.h), b = std::max(s.w, s.h);
  return longSideVertical ? Size{a, b} : Size{b, a};
}

}  // namespace

std::optional<Size> initialWindowSize(Size desktop) {
  if (desktop.w <= 0 || desktop.h <= 0) return std::nullopt;
  int h = static_cast<int>(static_cast<float>(desktop.h) - 200.0f);
  int w = static_cast<int>(h * 540.0 / 960.0);
  if (w <= 0 || h <= 0) return std::nullopt;
  return Size{w, h};
}

std::optional<Size> viewWindowSize(Size desktop, bool hasMenuBar) {
  if (desktop.w <= 0 || desktop.h <= 0) return std::nullopt;
  int h = static_cast<int>(static_cast<float>(desktop.h) - 200.0f);
  float factor = hasMenuBar ? 0.5841584f : 0.6145833f;
  int w = static_cast<int>(static_cast<float>(h) * factor);
  if (w <= 0 || h <= 0) return std::nullopt;
  return Size{w, h};
}

CanvasLayout canvasLayout(int videoWidth, int videoHeight, bool hasMenuBar) {
  CanvasLayout l;
  l.hasMenuBar = hasMenuBar;
  l.video = {videoWidth, videoHeight};
  l.logical.w = static_cast<int>(static_cast<float>(videoHeight) * 0.6145833f);
  l.logical.h = hasMenuBar ? static_cast<int>(static_cast<float>(l.logical.w) / 0.5841584f) : videoHeight;
  l.side = {l.logical.w - videoWidth, videoHeight};
  if (hasMenuBar) l.menu = {l.logical.w - l.side.w, l.logical.h - videoHeight};
  return l;
}

CanvasLayout orientLayout(const CanvasLayout& layout, bool portrait) {
  CanvasLayout l = layout;
  l.logical = oriented(layout.logical, portrait);
  l.video = oriented(layout.video, portrait);
  l.side = oriented(layout.side, portrait);
  l.menu = oriented(layout.menu, !portrait);
  return l;
}

LayerRects layerRects(const CanvasLayout& l, bool portrait) {
  LayerRects r;
  r.video = {0, 0, l.video.w, l.video.h};
  if (portrait) {
    r.menu = {0, l.video.h, l.menu.w, l.menu.h};
    r.side = {l.video.w, 0, l.side.w, l.side.h};
  } else {
    r.menu = {l.video.w, 0, l.menu.w, l.menu.h};
    r.side = {0, l.video.h, l.side.w, l.side.h};
  }
  r.overlay = r.video;
  r.message = r.video;
  return r;
}

Size logicalSizeFor(const CanvasLayout& l, bool portrait, bool fullDesktop) {
  if (!portrait && fullDesktop) return l.video;
  return l.logical;
}

std::optional<Size> keepAspect(Size requested, double aspect, bool fullDesktop) {
  if (aspect <= 0 || fullDesktop) return std::nullopt;
  double W = requested.w, H = requested.h;
  if (W > aspect * H) return Size{static_cast<int>(aspect * H), requested.h};
  if (H > W / aspect) return Size{requested.w, static_cast<int>(W / aspect)};
  return std::nullopt;
}

std::optional<RotationTracker::Change> RotationTracker::onRotation(int rotation, Size windowed) {
  bool landscape = isLandscape(rotation);
  if (first_) {
    first_ = false;
    Size size = oriented(windowed, !landscape);
    other_ = {size.h, size.w};
    landscape_ = landscape;
    return Change{size, true};
  }
  if (landscape == landscape_) return std::nullopt;
  landscape_ = landscape;
  Size size = other_;
  // The window still reports the size of the orientation being left.
  other_ = windowed;
  return Change{size, false};
}

}  // namespace tavrin
