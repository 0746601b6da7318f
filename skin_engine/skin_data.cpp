#include "skin_engine/skin_data.h"

// Linked in by the build from the engine DLL and the generated blocks (see CMakeLists.txt).
#define PT_EMBEDDED(symbol)                      \
  extern "C" const unsigned char symbol[];       \
  extern "C" const unsigned int symbol##_size;
PT_EMBEDDED(pt_skin_engine_image)
#define PT_SKIN_SET(s) \
  PT_EMBEDDED(pt_skin_##s##_1) PT_EMBEDDED(pt_skin_##s##_2) PT_EMBEDDED(pt_skin_##s##_3) PT_EMBEDDED(pt_skin_##s##_4) \
  PT_EMBEDDED(pt_skin_##s##_5) PT_EMBEDDED(pt_skin_##s##_6) PT_EMBEDDED(pt_skin_##s##_7) PT_EMBEDDED(pt_skin_##s##_8)
PT_SKIN_SET(1)
PT_SKIN_SET(2)

namespace {

#define PT_BLOCK(s, n) std::span<const uint8_t>(pt_skin_##s##_##n, pt_skin_##s##_##n##_size)
#define PT_BLOCKS(s) \
  PT_BLOCK(s, 1), PT_BLOCK(s, 2), PT_BLOCK(s, 3), PT_BLOCK(s, 4), PT_BLOCK(s, 5), PT_BLOCK(s, 6), PT_BLOCK(s, 7), PT_BLOCK(s, 8)

}  // namespace

std::span<const uint8_t> SkinEngineImage() { return {pt_skin_engine_image, pt_skin_engine_image_size}; }

std::span<const uint8_t> SkinBlock(int set, int number) {
  static const std::span<const uint8_t> blocks[2][8] = {{PT_BLOCKS(1)}, {PT_BLOCKS(2)}};
  if (set < 1 || set > 2 || number < 1 || number > 8) return {};
  return blocks[set - 1][number - 1];
}
