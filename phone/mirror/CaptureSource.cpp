#include "phone/mirror/CaptureSource.h"

#include <cstdlib>
#include <cstring>

#include "phone/mirror/TestCaptureSource.h"
#include "phone/mirror/X11CaptureSource.h"

namespace tavrin::mirror {

CaptureKind captureKindFromEnvironment(const char* capture, const char* display) {
  if (capture && std::strcmp(capture, "x11") == 0) return CaptureKind::X11;
  if (capture && std::strcmp(capture, "test") == 0) return CaptureKind::Test;
  return (display && *display) ? CaptureKind::X11 : CaptureKind::Test;
}

std::unique_ptr<CaptureSource> createCaptureSource(const std::string& testRotationFile) {
  if (captureKindFromEnvironment(std::getenv("TAVRIN_CAPTURE"), std::getenv("DISPLAY")) ==
      CaptureKind::X11)
    return std::make_unique<X11CaptureSource>();
  return std::make_unique<TestCaptureSource>(testRotationFile);
}

}  // namespace tavrin::mirror
