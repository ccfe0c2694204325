#pragma once

#include <cstdint>
#include <string>

namespace tavrin::mirror::test {

// Fills a rectangle of the root window of an X display with an 0xRRGGBB
// colour and waits until the server has done it.
bool fillRootRectangle(const std::string& display, int x, int y, int width, int height, uint32_t rgb);

}  // namespace tavrin::mirror::test
