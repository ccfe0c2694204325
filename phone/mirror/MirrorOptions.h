#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::mirror {

// What the command line asks for. Width and height stay 0 without "--size".
struct MirrorOptions {
  int32_t requestedWidth = 0;
  int32_t requestedHeight = 0;
  int32_t bitRate = 0;  // 0: not given
  bool verbose = false;
};

// Long options only ("--size WxH", "--bit-rate N", "--verbose"); unambiguous
// prefixes ("--s", "--b") are accepted. On failure the diagnostic lines to
// log are in `errors`, ending with "parseCmdParams failed.".
bool parseCmdParams(const std::vector<std::string>& args, MirrorOptions& options,
                    std::vector<std::string>& errors);

// "WIDTHxHEIGHT": two decimal numbers (an optional sign each) joined by a
// lower-case x and nothing else.
bool parseSize(const std::string& text, int32_t& width, int32_t& height);

}  // namespace tavrin::mirror
