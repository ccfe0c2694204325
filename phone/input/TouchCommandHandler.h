#pragma once

#include <memory>

#include "phone/input/CommandHandler.h"
#include "phone/input/InputBackend.h"

namespace tavrin {

// CMD_TOUCH_DOWN, CMD_TOUCH_UP, CMD_MULTI_TOUCH and CMD_MULTI_TOUCH_UP.
class TouchCommandHandler : public CommandHandler {
 public:
  explicit TouchCommandHandler(std::unique_ptr<TouchInjector> device) : device_(std::move(device)) {}
  bool DoCmd(CommandReply* reply, uint32_t commandId, const uint8_t* payload,
             uint32_t length) override;
  bool CanDoCmd(uint32_t commandId) override;
  bool Init() override { return device_->Open(); }
  void Close() override { device_->Close(); }

 private:
  std::unique_ptr<TouchInjector> device_;
};

}  // namespace tavrin
