#include "common/StartParams.h"

#include <cstring>

#include "common/DecimalPrefix.h"

namespace tavrin {

ParseResult parseStartParams(int argc, const char* const* argv, StartParams& params) {
  std::memset(&params, 0, sizeof params);
  if (argc != START_ARGUMENT_COUNT + 1 || !argv) return ParseResult::WrongArgumentCount;
  const char* host = argv[1] ? argv[1] : "";
  if (std::strlen(host) >= sizeof params.host) return ParseResult::HostTooLong;
  std::strcpy(params.host, host);
  int32_t* numbers[] = {&params.videoPort,     &params.daemonPort,      &params.reserved,
                        &params.displayWidth,  &params.displayHeight,   &params.displayRotation,
                        &params.videoWidth,    &params.videoHeight};
  for (int i = 0; i < 8; ++i) *numbers[i] = parseDecimalPrefix(argv[i + 2]);
  return ParseResult::Ok;
}

bool startParamsAcceptable(const StartParams& params) {
  return params.host[0] != '\0' && params.displayWidth != 0 && params.videoWidth != 0;
}

}  // namespace tavrin
