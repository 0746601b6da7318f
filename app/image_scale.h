#pragma once
#include <cstdint>
#include <vector>

// Scales a 32-bit BGRA picture (rows top-down, no padding) to another size by area averaging:
// every target pixel is the mean of the source area it covers, weighted by coverage, so a
// downscaled picture keeps thin lines and text readable instead of dropping pixels.
std::vector<uint8_t> ScaleBgraByArea(const std::vector<uint8_t>& source, int sourceWidth, int sourceHeight,
                                     int targetWidth, int targetHeight);
