#include "app/startup.h"

#include <windows.h>

#include <cstdint>

#include "effects/ease_animator.h"
#include "effects/shadow.h"
#include "effects/skin.h"
#include "extract/item_harvest.h"

void ConstructGlobalObjects() { CreateEasingSlots(); }

void ReleaseGlobalObjects() {
  SetOutputFolder(std::string());
  ReleaseSkin();
  ReleaseHarvestGlobals();
  ReleaseEasingSlots();
}

// The one GDI+ start-up of the process: the drop shadow's own start-up request finds it done.
void StartGdiPlusAtStartup() { StartGdiPlus(); }

void LoadSkinEngineAtStartup() { LoadSkinEngine(); }
