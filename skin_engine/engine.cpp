// The skin engine DLL: takes a skin block and skins the calling GUI thread's windows.
#include <windows.h>

#include <span>

#include "skin_engine/skin_format.h"
#include "skin_engine/window_skinner.h"

// Returns 1 when the block was accepted and applied, 0 when it was refused. The password is for
// encoded blocks, which this format does not have; it is accepted and ignored.
extern "C" int WINAPI SkinH_AttachRes(const unsigned char* data, int length, const char* password, int hue,
                                      int saturation, int brightness) noexcept {
  if (!data || length <= 0) return 0;
  const std::optional<skin::Palette> palette = skin::ParseSkinBlock(std::span(data, static_cast<size_t>(length)));
  if (!palette) return 0;
  return AttachSkin(skin::AdjustPalette(*palette, hue, saturation, brightness)) ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH) DetachSkin();
  return TRUE;
}
