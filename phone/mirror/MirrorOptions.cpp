#include "phone/mirror/MirrorOptions.h"

#include <cerrno>
#include <cstdlib>

#include "common/DecimalPrefix.h"

namespace tavrin::mirror {

namespace {

constexpr const char* PARSE_FAILED = "parseCmdParams failed.";

bool parseNumber(const std::string& text, size_t begin, size_t end, int32_t& value) {
  if (begin >= end) return false;
  size_t i = begin;
  if (text[i] == '-' || text[i] == '+') ++i;
  if (i >= end) return false;
  for (size_t k = i; k < end; ++k)
    if (text[k] < '0' || text[k] > '9') return false;
  errno = 0;
  long long v = std::strtoll(text.substr(begin, end - begin).c_str(), nullptr, 10);
  if (errno == ERANGE || v > INT32_MAX || v < INT32_MIN) return false;
  value = int32_t(v);
  return true;
}

enum class Option { Size, BitRate, Verbose };

struct LongOption {
  const char* name;
  Option option;
  bool takesValue;
};

constexpr LongOption LONG_OPTIONS[] = {
    {"size", Option::Size, true},
    {"bit-rate", Option::BitRate, true},
    {"verbose", Option::Verbose, false},
};

// The option a "--name" or "--name=value" word names: exact, or the one
// option it is a prefix of. Null when unknown or ambiguous.
const LongOption* findOption(const std::string& name) {
  const LongOption* found = nullptr;
  int matches = 0;
  for (const auto& o : LONG_OPTIONS) {
    std::string full = o.name;
    if (full == name) return &o;
    if (!name.empty() && full.compare(0, name.size(), name) == 0) {
      found = &o;
      ++matches;
    }
  }
  return matches == 1 ? found : nullptr;
}

}  // namespace

bool parseSize(const std::string& text, int32_t& width, int32_t& height) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  int32_t w, h;
  if (!parseNumber(text, 0, x, w) || !parseNumber(text, x + 1, text.size(), h)) return false;
  width = w;
  height = h;
  return true;
}

bool parseCmdParams(const std::vector<std::string>& args, MirrorOptions& options,
                    std::vector<std::string>& errors) {
  MirrorOptions result;
  auto fail = [&](std::string line) {
    if (!line.empty()) errors.push_back(std::move(line));
    errors.push_back(PARSE_FAILED);
    return false;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word == "--") break;  // the rest are no options
    if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
      // Words that are no option at all are left alone, as getopt would;
      // there are no short options.
      if (word.size() > 1 && word[0] == '-') return fail("");
      continue;
    }
    std::string name = word.substr(2);
    std::string value;
    bool inlineValue = false;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      inlineValue = true;
    }
    const LongOption* option = findOption(name);
    if (!option) return fail("");
    if (option->takesValue && !inlineValue) {
      if (i + 1 >= args.size()) return fail("");
      value = args[++i];
    } else if (!option->takesValue && inlineValue) {
      return fail("");
    }
    switch (option->option) {
      case Option::Size:
        if (!parseSize(value, result.requestedWidth, result.requestedHeight))
          return fail("Invalid size '" + value + "', must be width x height");
        break;
      case Option::BitRate:
        result.bitRate = parseDecimalPrefix(value.c_str());
        break;
      case Option::Verbose:
        result.verbose = true;
        break;
    }
  }
  options = result;
  return true;
}

}  // namespace tavrin::mirror
