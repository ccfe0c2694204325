#pragma once

#include <cstddef>
#include <string>

namespace tavrin {

// UTF-8 to wide characters (one code point each); a byte that starts no
// valid sequence becomes U+FFFD.
std::wstring utf8ToWide(const std::string& text);

// Copies `text` into `out` (room for `size` characters), cut to size - 1
// characters and terminated. Nothing happens when size is 0.
void copyTerminated(const std::wstring& text, wchar_t* out, size_t size);

}  // namespace tavrin
