#pragma once

#include <cstdint>
#include <optional>

namespace tavrin {

struct Size {
  int w = 0;
  int h = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
};

// Window size made at start-up: 200 pixels less than the desktop height, at
// the 540:960 aspect of the video alone.
std::optional<Size> initialWindowSize(Size desktop);

// Window size once the view exists: the video plus the side bar (590:960),
// or plus side and menu bars (590:1010).
std::optional<Size> viewWindowSize(Size desktop, bool hasMenuBar);

// The logical canvas and the areas of its parts, in video pixels.
struct CanvasLayout {
  Size logical;
  Size video;
  Size side;
  Size menu;  // zero without the menu bar
  bool hasMenuBar = false;
};

CanvasLayout canvasLayout(int videoWidth, int videoHeight, bool hasMenuBar);

// The same layout turned to portrait (rotation 0, 2) or landscape (1, 3):
// the video, canvas and side bar lie along the long side, the menu bar across.
CanvasLayout orientLayout(const CanvasLayout& layout, bool portrait);

struct LayerRects {
  Rect video, menu, side, overlay, message;
};

// Where each layer is drawn; in landscape the side bar lies under the video
// and the menu bar to its right.
LayerRects layerRects(const CanvasLayout& oriented, bool portrait);

// The logical size SDL scales to the window: in landscape while the window is
// full-desktop only the video shows.
Size logicalSizeFor(const CanvasLayout& oriented, bool portrait, bool fullDesktop);

// A user resize to (w, h) keeps the stored aspect: the size to set instead,
// or nothing when (w, h) already fits or the window is full-desktop.
std::optional<Size> keepAspect(Size requested, double aspect, bool fullDesktop = false);

// SDL window flags that make a size not the windowed one: exclusive or
// desktop full screen, maximised.
constexpr uint32_t FULL_DESKTOP_FLAGS = 0x1001;
constexpr uint32_t NOT_WINDOWED_FLAGS = 0x1081;

// Whether a size change is remembered as the windowed size.
inline bool isWindowedSize(uint32_t windowFlags) { return (windowFlags & NOT_WINDOWED_FLAGS) == 0; }

inline bool isLandscape(int rotation) { return rotation == 1 || rotation == 3; }

// Follows the phone's rotation and swaps between the portrait and landscape
// window sizes; the first rotation only orients the current size.
class RotationTracker {
 public:
  struct Change {
    Size size;          // the window size to apply
    bool newWindowed;   // the first rotation also makes it the windowed size
  };
  // What to apply for rotation r, or nothing when the orientation stays.
  // `windowed` is the window's current windowed size.
  std::optional<Change> onRotation(int rotation, Size windowed);
  // What onRotation hands back: the size remembered for the other orientation.
  Size otherOrientationSize() const { return other_; }
  bool landscape() const { return landscape_; }

 private:
  bool first_ = true;
  bool landscape_ = false;
  Size other_;
};

}  // namespace tavrin
