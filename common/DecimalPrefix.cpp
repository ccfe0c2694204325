#include "common/DecimalPrefix.h"

#include <cctype>
#include <limits>

namespace tavrin {

int32_t parseDecimalPrefix(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  int64_t value = 0;
  const int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    value = value * 10 + (*p++ - '0');
    if (value > limit) value = limit;  // keep going past the digits, saturated
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

}  // namespace tavrin
