#include <gtest/gtest.h>

#include "client/session/ViewLayout.h"

using namespace tavrin;

TEST(ViewLayout, WindowSizesFromTheDesktop) {
  struct Case { Size desktop; Size initial; Size view; Size viewWithMenu; } cases[] = {
      {{1920, 1080}, {495, 880}, {540, 880}, {514, 880}},
      {{1280, 1024}, {463, 824}, {506, 824}, {481, 824}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(initialWindowSize(c.desktop), c.initial);
    EXPECT_EQ(viewWindowSize(c.desktop, false), c.view);
    EXPECT_EQ(viewWindowSize(c.desktop, true), c.viewWithMenu);
  }
  EXPECT_EQ(initialWindowSize({1920, 0}), std::nullopt);
  EXPECT_EQ(initialWindowSize({1920, 200}), std::nullopt);
  EXPECT_EQ(viewWindowSize({0, 1080}, false), std::nullopt);
}

TEST(ViewLayout, CanvasForVideoSizes) {
  struct Case { Size video; bool menu; Size logical; Size side; Size menuBar; } cases[] = {
      {{720, 1280}, false, {786, 1280}, {66, 1280}, {0, 0}},
      {{720, 1280}, true, {786, 1345}, {66, 1280}, {720, 65}},
      {{540, 960}, false, {590, 960}, {50, 960}, {0, 0}},
      {{540, 960}, true, {590, 1010}, {50, 960}, {540, 50}},
  };
  for (const auto& c : cases) {
    auto l = canvasLayout(c.video.w, c.video.h, c.menu);
    EXPECT_EQ(l.logical, c.logical) << c.video.w << (c.menu ? " menu" : "");
    EXPECT_EQ(l.side, c.side);
    EXPECT_EQ(l.menu, c.menuBar);
  }
}

TEST(ViewLayout, LayerRectanglesPortraitAndLandscape) {
  auto base = canvasLayout(720, 1280, true);
  auto p = layerRects(orientLayout(base, true), true);
  EXPECT_EQ(p.video, (Rect{0, 0, 720, 1280}));
  EXPECT_EQ(p.menu, (Rect{0, 1280, 720, 65}));
  EXPECT_EQ(p.side, (Rect{720, 0, 66, 1280}));
  EXPECT_EQ(p.message, p.video);

  auto landscape = orientLayout(base, false);
  EXPECT_EQ(landscape.logical, (Size{1345, 786}));
  auto l = layerRects(landscape, false);
  EXPECT_EQ(l.video, (Rect{0, 0, 1280, 720}));
  EXPECT_EQ(l.menu, (Rect{1280, 0, 65, 720}));
  EXPECT_EQ(l.side, (Rect{0, 720, 1280, 66}));
  EXPECT_EQ(l.overlay, l.video);

  // Full-desktop landscape shows the video alone; portrait ignores it.
  EXPECT_EQ(logicalSizeFor(landscape, false, true), (Size{1280, 720}));
  EXPECT_EQ(logicalSizeFor(landscape, false, false), (Size{1345, 786}));
  auto portrait = orientLayout(landscape, true);
  EXPECT_EQ(logicalSizeFor(portrait, true, true), (Size{786, 1345}));
}

TEST(ViewLayout, ResizeKeepsAspect) {
  double a = 540.0 / 880.0;
  struct Case { Size requested; std::optional<Size> result; } cases[] = {
      {{800, 880}, Size{540, 880}},    // too wide: width follows height
      {{540, 1000}, Size{540, 880}},   // too tall: height follows width
      {{540, 880}, std::nullopt},      // already right
      {{270, 440}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(keepAspect(c.requested, a), c.result) << c.requested.w << "x" << c.requested.h;
  // Full-desktop windows are exempt; maximised and full-desktop sizes are not
  // remembered as the windowed size.
  EXPECT_EQ(keepAspect({800, 880}, a, true), std::nullopt);
  struct Flags { uint32_t flags; bool windowed; } flags[] = {
      {0x4 /* shown */, true}, {0x80 /* maximised */, false}, {0x1 /* full screen */, false},
      {0x1001 /* desktop full screen */, false}, {0x20 /* resizable */, true},
  };
  for (const auto& f : flags) EXPECT_EQ(isWindowedSize(f.flags), f.windowed) << f.flags;
}

TEST(ViewLayout, RotationSwapsAndRemembers) {
  RotationTracker t;
  // First rotation orients the current size and becomes the windowed size.
  auto first = t.onRotation(0, {540, 880});
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size, (Size{540, 880}));
  EXPECT_TRUE(first->newWindowed);
  EXPECT_EQ(t.otherOrientationSize(), (Size{880, 540}));

  auto toLandscape = t.onRotation(1, {540, 880});
  ASSERT_TRUE(toLandscape);
  EXPECT_EQ(toLandscape->size, (Size{880, 540}));
  EXPECT_FALSE(toLandscape->newWindowed);
  EXPECT_EQ(t.onRotation(3, {880, 540}), std::nullopt);  // still landscape
  // The user resized the landscape window; portrait comes back as it was.
  auto back = t.onRotation(0, {800, 491});
  ASSERT_TRUE(back);
  EXPECT_EQ(back->size, (Size{540, 880}));
  EXPECT_EQ(t.otherOrientationSize(), (Size{800, 491}));

  RotationTracker startLandscape;
  auto l = startLandscape.onRotation(3, {540, 880});
  ASSERT_TRUE(l);
  EXPECT_EQ(l->size, (Size{880, 540}));
  EXPECT_TRUE(startLandscape.landscape());
}
