#pragma once
// The program's skin: the skin engine mapped from the program's own data, and the skin blocks it
// draws the windows with.

#include <windows.h>

#include "effects/in_memory_module.h"

// The mapped skin engine, loaded once at start-up and never unloaded.
extern InMemoryModule SkinModule;

// Maps the embedded skin engine into SkinModule; false when it cannot be mapped (the program
// then runs unskinned).
bool LoadSkinEngine();

// Chooses skin `skinNumber` (1-8) of set 1 when `skinSet` is 1, else of set 2; with any other
// number the previously chosen skin stays. With `withShadow` 1 the window also gets its drop
// shadow of `shadowSize` pixels in `shadowColour`. Hands the skin to the engine with the hue,
// saturation and brightness adjustments and returns its result (0 when no engine is mapped or
// the skin was refused).
int ApplySkin(int skinNumber, HWND window, int withShadow, int skinSet = 0, int shadowSize = 3,
              COLORREF shadowColour = RGB(90, 90, 90), int hue = 0, int saturation = 0, int brightness = 0);

// For the at-exit routine: frees the skin buffer. The engine stays mapped, since its code is
// still hooked into the windows.
void ReleaseSkin();
