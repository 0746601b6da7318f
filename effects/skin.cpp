#include "effects/skin.h"

#include <cstdint>
#include <vector>

#include "effects/shadow.h"
#include "skin_engine/skin_data.h"

InMemoryModule SkinModule;

namespace {

using AttachRes = int(WINAPI*)(const unsigned char* data, int length, const char* password, int hue,
                               int saturation, int brightness);

// The engine is handed this buffer's address, so it lives until the next skin replaces it.
std::vector<uint8_t> g_skinBuffer;
const char* g_skinPassword = nullptr;  // the blocks are not encoded
int g_hue = 0;
int g_saturation = 0;
int g_brightness = 0;

}  // namespace

bool LoadSkinEngine() { return SkinModule.LoadFromMemory(SkinEngineImage()); }

int ApplySkin(int skinNumber, HWND window, int withShadow, int skinSet, int shadowSize, COLORREF shadowColour,
              int hue, int saturation, int brightness) {
  g_hue = hue;
  g_saturation = saturation;
  g_brightness = brightness;
  const std::span<const uint8_t> block = SkinBlock(skinSet == 1 ? 1 : 2, skinNumber);
  if (!block.empty()) g_skinBuffer.assign(block.begin(), block.end());
  if (withShadow == 1) {
    StartGdiPlus();
    AttachShadow(window, shadowColour, shadowSize);
  }
  // Without a mapped engine or its entry the program simply stays unskinned.
  const auto attach = reinterpret_cast<AttachRes>(reinterpret_cast<void (*)()>(SkinModule.FindExport("SkinH_AttachRes")));
  if (!attach) return 0;
  return attach(g_skinBuffer.data(), static_cast<int>(g_skinBuffer.size()), g_skinPassword, g_hue, g_saturation,
                g_brightness);
}

void ReleaseSkin() { std::vector<uint8_t>().swap(g_skinBuffer); }
