#include "inputhelper/WideText.h"

#include <algorithm>

namespace tavrin {

std::wstring utf8ToWide(const std::string& text) {
  std::wstring out;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned char lead = *p;
    size_t extra;
    char32_t cp;
    char32_t minimum;
    if (lead < 0x80) { extra = 0; cp = lead; minimum = 0; }
    else if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; minimum = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; minimum = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; minimum = 0x10000; }
    else { out.push_back(L'\uFFFD'); ++p; continue; }
    bool valid = size_t(end - p) > extra;
    for (size_t i = 1; valid && i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) valid = false;
      else cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(L'\uFFFD');
      ++p;
      continue;
    }
    out.push_back(wchar_t(cp));
    p += extra + 1;
  }
  return out;
}

void copyTerminated(const std::wstring& text, wchar_t* out, size_t size) {
  if (!out || size == 0) return;
  size_t count = std::min(text.size(), size - 1);
  std::copy_n(text.data(), count, out);
  out[count] = L'\0';
}

}  // namespace tavrin
