#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

// One tavrinctl invocation: HOST[:PORT] COMMAND [ARGS].
struct CtlRequest {
  std::string host;            // dotted IPv4 address
  int port = 0;                // 9191 unless given
  std::string name;            // the command as typed
  uint32_t command = 0;
  std::vector<uint8_t> data;   // the command's data
};

// Parses the arguments after the program name. nullopt with `error` set when
// they are wrong.
std::optional<CtlRequest> parseCtlArguments(const std::vector<std::string>& args, std::string* error);

// The usage text.
std::string ctlUsage();

}  // namespace tavrin
