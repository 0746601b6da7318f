#pragma once
// The skin engine DLL image and the 16 skin blocks, carried inside the program.

#include <cstdint>
#include <span>

std::span<const uint8_t> SkinEngineImage();
// Skin `number` (1-8) of set `set` (1 or 2); empty for any other pair.
std::span<const uint8_t> SkinBlock(int set, int number);
