#pragma once
// Draws the windows of the calling GUI thread in a skin's palette: the windows that exist now and
// every window the thread creates later.

#include "skin_engine/skin_format.h"

// Applies `palette` to the calling thread's windows (again, if already attached: the new colours
// replace the old and everything is repainted). False when another thread holds the skin.
bool AttachSkin(const skin::Palette& palette);

// Gives every skinned window back its own look. Must run on the skinned thread.
void DetachSkin();
