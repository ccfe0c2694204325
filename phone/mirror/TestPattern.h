#pragma once

#include <cstdint>
#include <optional>

namespace tavrin::mirror {

// The synthetic display writes its capture time into each picture so a
// reader of the decoded video can tell how old a picture is. The time is
// drawn in luma as a grid of black/white blocks near the top-left corner:
//
//   block size B = picture width / 24, grid at (B, B), 16 columns x 4 rows
//   bits, row-major, most significant first: 48 bits of time (µs),
//   then 16 check bits (the complement of the time's low 16 bits)
inline constexpr int STAMP_COLUMNS = 16;
inline constexpr int STAMP_ROWS = 4;
inline constexpr uint64_t STAMP_TIME_MASK = (uint64_t(1) << 48) - 1;

// CLOCK_MONOTONIC in microseconds (shared by every process on the machine).
uint64_t stampClockUs();

int stampBlockSize(int pictureWidth);
void drawStamp(uint8_t* luma, int stride, int pictureWidth, uint64_t timeUs);

// Reads the stamp of a picture whose display content starts at (x0, y0) and
// is contentWidth wide (scaled by any factor). The 48-bit time, or nothing
// when the check bits do not match.
std::optional<uint64_t> readStamp(const uint8_t* luma, int stride, int x0, int y0, int contentWidth);

}  // namespace tavrin::mirror
