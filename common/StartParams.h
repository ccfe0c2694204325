#pragma once

#include <cstdint>

namespace tavrin {

// The client's start parameters; the launcher writes the same layout as the
// command line "%s %s %d %d %d %d %d %d %d %d".
struct StartParams {
  char host[16];            // dotted IPv4 address, zero-terminated
  int32_t videoPort;        // not consulted: the client always uses VIDEO_PORT
  int32_t daemonPort;       // input daemon port for the input helper
  int32_t reserved;
  int32_t displayWidth;     // phone display, natural orientation
  int32_t displayHeight;
  int32_t displayRotation;  // quarter turns at launch
  int32_t videoWidth;       // encoded video, portrait
  int32_t videoHeight;
};

constexpr int START_ARGUMENT_COUNT = 9;

enum class ParseResult { Ok, WrongArgumentCount, HostTooLong };

// Fills params from argv (argv[0] is the program). Exactly nine arguments are
// needed; a host that does not fit the 16-byte field is refused rather than cut.
ParseResult parseStartParams(int argc, const char* const* argv, StartParams& params);

// The session's own acceptance rule: host given, both widths non-zero.
bool startParamsAcceptable(const StartParams& params);

}  // namespace tavrin
