#pragma once

#include <string>

#include "phone/mirror/CaptureSource.h"
#include "phone/mirror/InputSurface.h"
#include "phone/mirror/Projection.h"

struct SwsContext;

namespace tavrin::mirror {

// A display that mirrors the capture source into an encoder's input surface:
// at most one picture per refresh interval, only when the source changed,
// scaled into the projection's content rectangle (the borders stay black).
class VirtualDisplay : public IPictureProducer {
 public:
  VirtualDisplay(std::string name, CaptureSource& source, float refreshRate);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  const std::string& name() const { return name_; }
  // The display transaction: surface, projection, layer stack.
  void setSurface(InputSurface* surface);
  void setProjection(const Projection& projection) { projection_ = projection; }
  const Projection& projection() const { return projection_; }

  bool waitForPicture(Clock::time_point deadline) override;
  bool drawInto(AVFrame* frame) override;

 private:
  std::string name_;
  CaptureSource& source_;
  Clock::duration interval_;
  Clock::time_point next_{};
  Projection projection_{};
  InputSurface* surface_ = nullptr;
  SwsContext* scaler_ = nullptr;
};

}  // namespace tavrin::mirror
