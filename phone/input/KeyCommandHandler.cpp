#include "phone/input/KeyCommandHandler.h"

#include "phone/input/CommandReply.h"
#include "phone/input/InputTrace.h"

namespace tavrin {

bool KeyCommandHandler::CanDoCmd(uint32_t commandId) {
  return commandId == CMD_KEY_PRESS || commandId == CMD_KEY_QUERY;
}

bool KeyCommandHandler::DoCmd(CommandReply* reply, uint32_t commandId, const uint8_t* payload,
                              uint32_t length) {
  inputTrace("key do cmd\n");
  if (!payload || !reply || length == 0) return false;
  auto code = parseKeyPayload(payload, length);
  if (!code) return false;
  inputTrace("key do cmd run dealer\n");
  bool done;
  switch (commandId) {
    case CMD_KEY_PRESS:
      done = device_->PushKey(*code);
      break;
    case CMD_KEY_QUERY:
      done = device_->IsKeySupported(*code);
      break;
    default:
      return false;
  }
  if (!done) return false;
  reply->SetResult(STATUS_OK, nullptr, 0);
  return true;
}

}  // namespace tavrin
