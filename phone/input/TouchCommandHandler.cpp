#include "phone/input/TouchCommandHandler.h"

#include "phone/input/CommandReply.h"

namespace tavrin {

bool TouchCommandHandler::CanDoCmd(uint32_t commandId) {
  return commandId >= CMD_TOUCH_DOWN && commandId <= CMD_MULTI_TOUCH_UP;
}

bool TouchCommandHandler::DoCmd(CommandReply* reply, uint32_t commandId, const uint8_t* payload,
                                uint32_t length) {
  if (!payload || !reply || length == 0) return false;
  switch (commandId) {
    case CMD_TOUCH_DOWN:
    case CMD_TOUCH_UP: {
      auto point = parsePointPayload(payload, length);
      if (!point) return false;
      if (commandId == CMD_TOUCH_DOWN)
        device_->TouchDown(point->x, point->y);
      else
        device_->TouchUp(point->x, point->y);
      break;
    }
    case CMD_MULTI_TOUCH:
    case CMD_MULTI_TOUCH_UP: {
      auto contacts = parseContactsPayload(payload, length);
      if (!contacts) return false;
      if (commandId == CMD_MULTI_TOUCH)
        device_->MultiTouchMove(*contacts);
      else
        device_->MultiTouchUp(*contacts);
      break;
    }
    default:
      return false;
  }
  reply->SetResult(STATUS_OK, nullptr, 0);
  return true;
}

}  // namespace tavrin
