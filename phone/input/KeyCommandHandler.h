#pragma once

#include <memory>

#include "phone/input/CommandHandler.h"
#include "phone/input/InputBackend.h"

namespace tavrin {

// CMD_KEY_PRESS and CMD_KEY_QUERY.
class KeyCommandHandler : public CommandHandler {
 public:
  explicit KeyCommandHandler(std::unique_ptr<KeyInjector> device) : device_(std::move(device)) {}
  bool DoCmd(CommandReply* reply, uint32_t commandId, const uint8_t* payload,
             uint32_t length) override;
  bool CanDoCmd(uint32_t commandId) override;
  bool Init() override { return device_->Open(); }
  void Close() override { device_->Close(); }

 private:
  std::unique_ptr<KeyInjector> device_;
};

}  // namespace tavrin
