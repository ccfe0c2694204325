#include "phone/mirror/X11CaptureSource.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <utility>

#include "phone/mirror/MirrorLog.h"
#include "phone/mirror/VideoSize.h"

namespace tavrin::mirror {

namespace {

constexpr float DEFAULT_REFRESH_RATE = 60.0f;

// Xlib reports protocol errors through a process-wide handler; a failed
// XShmAttach is the one we expect and survive.
bool shmAttachFailed = false;
int trapShmError(Display*, XErrorEvent*) {
  shmAttachFailed = true;
  return 0;
}

int pixelFormatOf(const XImage* image) {
  bool lsb = image->byte_order == LSBFirst;
  if (image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
      image->blue_mask == 0xFF)
    return lsb ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_0RGB;
  if (image->bits_per_pixel == 32 && image->red_mask == 0xFF && image->green_mask == 0xFF00 &&
      image->blue_mask == 0xFF0000)
    return lsb ? AV_PIX_FMT_RGB0 : AV_PIX_FMT_0BGR;
  if (image->bits_per_pixel == 16 && image->red_mask == 0xF800 && image->green_mask == 0x7E0 &&
      image->blue_mask == 0x1F)
    return lsb ? AV_PIX_FMT_RGB565LE : AV_PIX_FMT_RGB565BE;
  return AV_PIX_FMT_NONE;
}

// Xlib ends the process after this returns; the line says why.
int logLostDisplay(Display*) {
  MIRROR_LOG("lost the connection to the X display");
  return 0;
}

}  // namespace

uint8_t rotationFromRandr(unsigned short rotation) {
  switch (rotation & (RR_Rotate_0 | RR_Rotate_90 | RR_Rotate_180 | RR_Rotate_270)) {
    case RR_Rotate_90: return 1;
    case RR_Rotate_180: return 2;
    case RR_Rotate_270: return 3;
    default: return 0;
  }
}

struct X11CaptureSource::Connection {
  Display* display = nullptr;
  Window root = 0;
  int screen = 0;
  Damage damage = 0;
  int damageEventBase = 0;
  bool hasRandr = false;
  int randrEventBase = 0;
  uint8_t rotation = 0;
  float refreshRate = DEFAULT_REFRESH_RATE;
  bool changed = true;  // the first picture is always due

  bool useShm = false;
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  bool shmAttached = false;

  ~Connection() {
    releaseImage();
    if (damage) XDamageDestroy(display, damage);
    if (display) XCloseDisplay(display);
  }

  int screenWidth() const { return DisplayWidth(display, screen); }
  int screenHeight() const { return DisplayHeight(display, screen); }

  void releaseImage() {
    if (shmAttached) {
      XShmDetach(display, &shm);
      XSync(display, False);
      shmAttached = false;
    }
    bool shmImage = shm.shmaddr && shm.shmaddr != reinterpret_cast<char*>(-1);
    if (image) {
      // Shared memory is not Xlib's to free.
      if (shmImage) image->data = nullptr;
      XDestroyImage(image);
      image = nullptr;
    }
    if (shmImage) shmdt(shm.shmaddr);
    shm = {};
  }

  void readRandr() {
    if (!hasRandr) return;
    XRRScreenConfiguration* config = XRRGetScreenInfo(display, root);
    if (!config) return;
    Rotation current = RR_Rotate_0;
    XRRConfigCurrentConfiguration(config, &current);
    rotation = rotationFromRandr(current);
    short rate = XRRConfigCurrentRate(config);
    refreshRate = rate > 0 ? float(rate) : DEFAULT_REFRESH_RATE;
    XRRFreeScreenConfigInfo(config);
  }

  void handleEvents() {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == damageEventBase + XDamageNotify) {
        changed = true;
      } else if (hasRandr && event.type == randrEventBase + RRScreenChangeNotify) {
        XRRUpdateConfiguration(&event);
        auto* change = reinterpret_cast<XRRScreenChangeNotifyEvent*>(&event);
        rotation = rotationFromRandr(change->rotation);
        changed = true;
      }
    }
  }

  bool makeImage(int width, int height) {
    releaseImage();
    Visual* visual = DefaultVisual(display, screen);
    unsigned depth = unsigned(DefaultDepth(display, screen));
    if (useShm) {
      image = XShmCreateImage(display, visual, depth, ZPixmap, nullptr, &shm, unsigned(width),
                              unsigned(height));
      if (image) {
        shm.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
        if (shm.shmid >= 0) {
          shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
          shm.readOnly = False;
          if (shm.shmaddr != reinterpret_cast<char*>(-1)) {
            shmAttachFailed = false;
            XErrorHandler previous = XSetErrorHandler(trapShmError);
            XShmAttach(display, &shm);
            XSync(display, False);
            XSetErrorHandler(previous);
            shmAttached = !shmAttachFailed;
          }
          // Marked for removal now, so it goes away with us whatever happens.
          shmctl(shm.shmid, IPC_RMID, nullptr);
        }
        if (!shmAttached) {
          MIRROR_LOG("MIT-SHM unavailable, reading the screen without it");
          image->data = nullptr;
          if (shm.shmaddr == reinterpret_cast<char*>(-1)) shm.shmaddr = nullptr;
          releaseImage();
          useShm = false;
        }
      }
    }
    if (!image) {
      image = XGetImage(display, root, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
      if (!image) return false;
    }
    return true;
  }

  bool grab() {
    int width = screenWidth(), height = screenHeight();
    if (!image || image->width != width || image->height != height) {
      if (!makeImage(width, height)) return false;
    }
    // Taken before reading, so a change made while we read is seen next time.
    XDamageSubtract(display, damage, None, None);
    changed = false;
    if (useShm) return XShmGetImage(display, root, image, 0, 0, AllPlanes);
    return XGetSubImage(display, root, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap,
                        image, 0, 0) != nullptr;
  }
};

X11CaptureSource::X11CaptureSource(std::string displayName) : displayName_(std::move(displayName)) {}

X11CaptureSource::~X11CaptureSource() = default;

bool X11CaptureSource::open() {
  if (x_) return true;
  XSetIOErrorHandler(logLostDisplay);
  auto x = std::make_unique<Connection>();
  x->display = XOpenDisplay(displayName_.empty() ? nullptr : displayName_.c_str());
  if (!x->display) return false;
  x->screen = DefaultScreen(x->display);
  x->root = RootWindow(x->display, x->screen);
  int damageError;
  if (!XDamageQueryExtension(x->display, &x->damageEventBase, &damageError)) {
    MIRROR_LOG("the X server has no DAMAGE extension");
    return false;
  }
  x->damage = XDamageCreate(x->display, x->root, XDamageReportNonEmpty);
  int randrError;
  x->hasRandr = XRRQueryExtension(x->display, &x->randrEventBase, &randrError);
  if (x->hasRandr) {
    XRRSelectInput(x->display, x->root, RRScreenChangeNotifyMask);
    x->readRandr();
  }
  x->useShm = XShmQueryExtension(x->display);
  XSync(x->display, False);
  x_ = std::move(x);
  return true;
}

bool X11CaptureSource::displayInfo(DisplayInfo& info) {
  if (!open()) return false;
  x_->handleEvents();
  int width = x_->screenWidth(), height = x_->screenHeight();
  // The X screen is already turned; its natural size is the unturned one.
  if (isRotated(x_->rotation)) std::swap(width, height);
  info.width = width;
  info.height = height;
  info.refreshRate = x_->refreshRate;
  info.rotation = x_->rotation;
  return true;
}

bool X11CaptureSource::waitForChange(Clock::time_point deadline) {
  if (!open()) return false;
  for (;;) {
    x_->handleEvents();
    if (x_->changed) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{ConnectionNumber(x_->display), POLLIN, 0};
    poll(&p, 1, int(left.count()) + 1);
  }
}

bool X11CaptureSource::grab(CapturedFrame& frame) {
  if (!open()) return false;
  x_->handleEvents();
  if (!x_->grab()) return false;
  XImage* image = x_->image;
  frame.format = pixelFormatOf(image);
  if (frame.format == AV_PIX_FMT_NONE) return false;
  frame.width = image->width;
  frame.height = image->height;
  frame.data[0] = reinterpret_cast<const uint8_t*>(image->data);
  frame.linesize[0] = image->bytes_per_line;
  for (int i = 1; i < 4; ++i) {
    frame.data[i] = nullptr;
    frame.linesize[i] = 0;
  }
  return true;
}

}  // namespace tavrin::mirror
