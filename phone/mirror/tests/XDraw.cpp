#include "phone/mirror/tests/XDraw.h"

#include <X11/Xlib.h>

namespace tavrin::mirror::test {

bool fillRootRectangle(const std::string& name, int x, int y, int width, int height, uint32_t rgb) {
  Display* display = XOpenDisplay(name.c_str());
  if (!display) return false;
  Window root = DefaultRootWindow(display);
  GC gc = XCreateGC(display, root, 0, nullptr);
  XSetForeground(display, gc, rgb);
  XFillRectangle(display, root, gc, x, y, unsigned(width), unsigned(height));
  XSync(display, False);
  XFreeGC(display, gc);
  XCloseDisplay(display);
  return true;
}

}  // namespace tavrin::mirror::test
