#include "platform/x11/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

namespace tavrin {

namespace {

Display* dpy(void* d) { return static_cast<Display*>(d); }

std::string windowTitle(Display* d, Window w) {
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
      data && count) {
    title.assign(reinterpret_cast<char*>(data), count);
  }
  if (data) XFree(data);
  if (!title.empty()) return title;
  char* name = nullptr;
  if (XFetchName(d, w, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

bool classMatches(Display* d, Window w, const std::string& wanted) {
  if (wanted.empty()) return true;
  XClassHint hint{};
  if (!XGetClassHint(d, w, &hint)) return false;
  bool match = (hint.res_class && wanted == hint.res_class) || (hint.res_name && wanted == hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  if (hint.res_name) XFree(hint.res_name);
  return match;
}

void collect(Display* d, Window w, const std::string& title, const std::string& cls, int depth,
             std::vector<unsigned long>& out) {
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  if (!XQueryTree(d, w, &root, &parent, &children, &n)) return;
  for (unsigned int i = 0; i < n; ++i) {
    Window c = children[i];
    // A window manager may reparent clients one level down.
    bool hasTitle = false;
    std::string t = windowTitle(d, c);
    hasTitle = !t.empty();
    if (hasTitle && (title.empty() || t == title) && classMatches(d, c, cls)) out.push_back(c);
    else if (depth < 2) collect(d, c, title, cls, depth + 1, out);
  }
  if (children) XFree(children);
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

X11Display::X11Display(const std::string& display) {
  display_ = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  // Other programs' windows come and go (SDL even recreates its window for a
  // GL renderer): a vanished window is a failed call, not the end of us.
  if (display_) XSetErrorHandler(ignoreErrors);
}

X11Display::~X11Display() {
  if (display_) XCloseDisplay(dpy(display_));
}

std::vector<unsigned long> X11Display::findWindows(const std::string& title, const std::string& windowClass) {
  std::vector<unsigned long> out;
  if (!display_) return out;
  collect(dpy(display_), DefaultRootWindow(dpy(display_)), title, windowClass, 0, out);
  XSync(dpy(display_), False);
  return out;
}

bool X11Display::closeWindow(unsigned long window) {
  if (!display_) return false;
  Display* d = dpy(display_);
  XEvent e;
  std::memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  bool ok = XSendEvent(d, window, False, NoEventMask, &e) != 0;
  XFlush(d);
  return ok;
}

bool X11Display::geometry(unsigned long window, Geometry& out) {
  if (!display_) return false;
  Display* d = dpy(display_);
  XWindowAttributes a;
  if (!XGetWindowAttributes(d, window, &a)) return false;
  Window child;
  int x = 0, y = 0;
  XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  out = {x, y, a.width, a.height};
  return true;
}

std::vector<uint32_t> X11Display::capture(unsigned long window, int& width, int& height) {
  std::vector<uint32_t> pixels;
  Geometry g;
  if (!geometry(window, g)) return pixels;
  Display* d = dpy(display_);
  XImage* image = XGetImage(d, window, 0, 0, unsigned(g.width), unsigned(g.height), AllPlanes, ZPixmap);
  if (!image) return pixels;
  width = g.width;
  height = g.height;
  pixels.resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[size_t(y) * width + x] = uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
  XDestroyImage(image);
  return pixels;
}

}  // namespace tavrin
