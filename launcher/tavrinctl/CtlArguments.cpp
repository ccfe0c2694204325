#include "launcher/tavrinctl/CtlArguments.h"

#include <arpa/inet.h>

#include <charconv>

#include "common/DaemonProtocol.h"
#include "common/Ports.h"
#include "launcher/setup/DaemonClient.h"

namespace tavrin {

namespace {

bool parseInt(const std::string& text, int32_t* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

bool parsePort(const std::string& text, int* port) {
  int32_t value = 0;
  if (!parseInt(text, &value) || value < 1 || value > 65535) return false;
  *port = value;
  return true;
}

template <size_t N>
std::vector<uint8_t> bytes(const std::array<uint8_t, N>& data) {
  return std::vector<uint8_t>(data.begin(), data.end());
}

}  // namespace

std::string ctlUsage() {
  return "usage: tavrinctl HOST[:PORT] COMMAND [ARGS]\n"
         "  talks to a phone daemon (port 9191 unless given); HOST is a dotted IPv4 address or localhost\n"
         "commands:\n"
         "  ping\n"
         "  start-mirror WIDTH HEIGHT BITRATE   (-1 for the phone's own size)\n"
         "  start-input PORT\n"
         "  stop-mirror\n"
         "  stop-input\n"
         "exit status: 0 success, 1 the daemon refused, 2 wrong command line, 3 no daemon reached or no answer\n";
}

std::optional<CtlRequest> parseCtlArguments(const std::vector<std::string>& args, std::string* error) {
  auto fail = [error](std::string message) -> std::optional<CtlRequest> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  if (args.size() < 2) return fail("expected HOST[:PORT] and a command");

  CtlRequest request;
  const std::string& target = args[0];
  size_t colon = target.rfind(':');
  request.host = target.substr(0, colon);
  request.port = PHONE_DAEMON_PORT;
  if (colon != std::string::npos && !parsePort(target.substr(colon + 1), &request.port))
    return fail("invalid port in '" + target + "'");
  if (request.host.empty() || request.host == "localhost") request.host = "127.0.0.1";
  in_addr address{};
  if (inet_pton(AF_INET, request.host.c_str(), &address) != 1)
    return fail("invalid host '" + request.host + "' (a dotted IPv4 address)");

  request.name = args[1];
  const size_t extra = args.size() - 2;
  auto argumentCount = [&](size_t wanted, const char* form) -> bool {
    if (extra == wanted) return true;
    if (error) *error = request.name + " takes " + form;
    return false;
  };
  if (request.name == "ping" || request.name == "stop-mirror" || request.name == "stop-input") {
    if (!argumentCount(0, "no arguments")) return std::nullopt;
    request.command = request.name == "ping"          ? DAEMON_CMD_PING
                      : request.name == "stop-mirror" ? DAEMON_CMD_STOP_MIRROR
                                                      : DAEMON_CMD_STOP_INPUT;
  } else if (request.name == "start-mirror") {
    if (!argumentCount(3, "WIDTH HEIGHT BITRATE")) return std::nullopt;
    int32_t width, height, bitRate;
    if (!parseInt(args[2], &width) || !parseInt(args[3], &height) || !parseInt(args[4], &bitRate))
      return fail("start-mirror: WIDTH HEIGHT BITRATE must be whole numbers");
    request.command = DAEMON_CMD_START_MIRROR;
    request.data = bytes(mirrorCommandData(width, height, bitRate));
  } else if (request.name == "start-input") {
    if (!argumentCount(1, "PORT")) return std::nullopt;
    int port = 0;
    if (!parsePort(args[2], &port)) return fail("start-input: invalid port '" + args[2] + "'");
    request.command = DAEMON_CMD_START_INPUT;
    request.data = bytes(inputCommandData(port));
  } else {
    return fail("unknown command '" + request.name + "'");
  }
  return request;
}

}  // namespace tavrin
