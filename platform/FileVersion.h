#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tavrin {

using FileVersionNumbers = std::array<uint16_t, 4>;

// The a.b.c.d after the first "TAVRIN-FILE-VERSION:" marker in a file;
// nullopt when the file cannot be read or carries no well-formed marker.
std::optional<FileVersionNumbers> fileVersion(const std::string& path);

}  // namespace tavrin
