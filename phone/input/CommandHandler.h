#pragma once

#include <cstdint>

namespace tavrin {

class CommandReply;

// Takes some command identifiers of the input protocol and carries them out.
class CommandHandler {
 public:
  virtual ~CommandHandler() = default;
  // On success the handler sets STATUS_OK on the reply itself.
  virtual bool DoCmd(CommandReply* reply, uint32_t commandId, const uint8_t* payload,
                     uint32_t length) = 0;
  virtual bool CanDoCmd(uint32_t commandId) = 0;
  virtual bool Init() = 0;
  virtual void Close() = 0;
};

}  // namespace tavrin
