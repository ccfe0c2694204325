#pragma once

#include <cstdint>

namespace tavrin {

// The decimal-prefix rule: leading blanks, an optional sign, digits up to the
// first other character; nothing parsable gives 0. Values beyond 32 bits
// saturate instead of wrapping.
int32_t parseDecimalPrefix(const char* text);

}  // namespace tavrin
