#include "phone/input/XTestBackend.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <optional>

namespace tavrin {

namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

DisplayPtr openXTestDisplay() {
  DisplayPtr display(XOpenDisplay(nullptr));
  int event, error, major, minor;
  if (display && !XTestQueryExtension(display.get(), &event, &error, &major, &minor))
    display.reset();
  return display;
}

class XTestTouch : public TouchInjector {
 public:
  bool Open() override {
    display_ = openXTestDisplay();
    return display_ != nullptr;
  }
  void Close() override { display_.reset(); }

  bool TouchDown(int32_t x, int32_t y) override {
    moveTo(x, y);
    button(true);
    return sync();
  }
  bool TouchUp(int32_t x, int32_t y) override {
    moveTo(x, y);
    button(false);
    return sync();
  }

  // The X pointer follows one contact: the first that goes down while none
  // leads. Other contacts have no pointer to drive and are left out.
  bool MultiTouchMove(const ContactList& contacts) override {
    for (uint32_t i = 0; i < contacts.count(); ++i) {
      Contact c = contacts[i];
      if (c.id == -1) continue;  // a lift marker, never a contact
      if (!leader_) {
        leader_ = c.id;
        moveTo(c.x, c.y);
        button(true);
      } else if (*leader_ == c.id) {
        moveTo(c.x, c.y);
      }
    }
    return sync();
  }

  bool MultiTouchUp(const ContactList& contacts) override {
    for (uint32_t i = 0; i < contacts.count(); ++i) {
      if (leader_ && *leader_ == contacts[i].id) {
        button(false);
        leader_.reset();
      }
    }
    return sync();
  }

 private:
  void moveTo(int32_t x, int32_t y) {
    if (display_) XTestFakeMotionEvent(display_.get(), -1, x, y, CurrentTime);
  }
  void button(bool down) {
    if (display_) XTestFakeButtonEvent(display_.get(), 1, down, CurrentTime);
  }
  // Waits until the server has taken the events, so a reply means "done".
  bool sync() {
    if (display_) XSync(display_.get(), False);
    return true;
  }

  DisplayPtr display_;
  std::optional<int32_t> leader_;
};

class XTestKeys : public KeyInjector {
 public:
  bool Open() override {
    display_ = openXTestDisplay();
    return true;  // like the node keys: no display only means no keys
  }
  void Close() override { display_.reset(); }

  bool IsKeySupported(uint32_t keyCode) override { return xKeyCode(keyCode) != 0; }

  bool PushKey(uint32_t keyCode) override {
    unsigned xcode = xKeyCode(keyCode);
    if (!xcode) return false;
    XTestFakeKeyEvent(display_.get(), xcode, True, CurrentTime);
    XTestFakeKeyEvent(display_.get(), xcode, False, CurrentTime);
    XSync(display_.get(), False);
    return true;
  }

 private:
  // The X key code of a Linux key code when the keyboard map has a symbol
  // for it; 0 otherwise.
  unsigned xKeyCode(uint32_t keyCode) {
    if (!display_ || keyCode > MAX_KEY_CODE) return 0;
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(display_.get(), &minCode, &maxCode);
    unsigned xcode = keyCode + 8;
    if (int(xcode) < minCode || int(xcode) > maxCode) return 0;
    int perCode = 0;
    KeySym* syms = XGetKeyboardMapping(display_.get(), KeyCode(xcode), 1, &perCode);
    bool mapped = false;
    for (int i = 0; syms && i < perCode; ++i) mapped |= syms[i] != NoSymbol;
    if (syms) XFree(syms);
    return mapped ? xcode : 0;
  }

  DisplayPtr display_;
};

}  // namespace

std::unique_ptr<TouchInjector> XTestBackend::makeTouch() { return std::make_unique<XTestTouch>(); }
std::unique_ptr<KeyInjector> XTestBackend::makeKeys() { return std::make_unique<XTestKeys>(); }

}  // namespace tavrin
