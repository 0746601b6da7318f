#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

// A decoded picture: 32-bit BGRA, rows top-down.
struct BgraPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// Decodes a PNG held in memory; an empty picture when the bytes are not a readable PNG.
BgraPicture DecodePng(const uint8_t* data, size_t size);

// The program's help picture (embedded PNG), decoded and scaled to the given size as a DIB
// section the caller owns; null when it cannot be decoded.
HBITMAP LoadHelpPictureBitmap(int width, int height);
