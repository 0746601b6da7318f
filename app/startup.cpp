#include "app/startup.h"

#include <windows.h>

#include <cstdint>

#include "effects/ease_animator.h"
#include "extract/item_harvest.h"

namespace {

// The GDI+ flat start-up entry and its 16-byte input record (version, debug callback, two flags).
struct GdiplusStartupInputRecord {
  UINT32 version;
  void* debugEventCallback;
  BOOL suppressBackgroundThread;
  BOOL suppressExternalCodecs;
};
extern "C" int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInputRecord* input, void* output);

ULONG_PTR g_gdiplusToken = 0;

}  // namespace

void ConstructGlobalObjects() { CreateEasingSlots(); }

void ReleaseGlobalObjects() {
  SetOutputFolder(std::string());
  ReleaseHarvestGlobals();
  ReleaseEasingSlots();
}

void StartGdiPlusAtStartup() {
  GdiplusStartupInputRecord input{1, nullptr, FALSE, FALSE};
  GdiplusStartup(&g_gdiplusToken, &input, nullptr);
}

void LoadSkinEngineAtStartup() {}
