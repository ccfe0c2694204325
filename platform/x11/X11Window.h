#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// Top-level windows of an X display, found by title and class, and closed
// politely (WM_DELETE_WINDOW), as a user's close button would.
class X11Display {
 public:
  // display: a name like ":5", or empty for $DISPLAY.
  explicit X11Display(const std::string& display = {});
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  bool ok() const { return display_ != nullptr; }

  // Windows whose title (_NET_WM_NAME, else WM_NAME) equals `title` and whose
  // WM_CLASS class or instance equals `windowClass`; an empty argument matches any.
  std::vector<unsigned long> findWindows(const std::string& title, const std::string& windowClass);
  bool closeWindow(unsigned long window);

  struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;  // x, y relative to the root
  };
  bool geometry(unsigned long window, Geometry& out);
  // The window's pixels as 0xRRGGBB, row by row; empty on failure.
  std::vector<uint32_t> capture(unsigned long window, int& width, int& height);

 private:
  void* display_ = nullptr;
};

}  // namespace tavrin
