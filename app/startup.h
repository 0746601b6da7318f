#pragma once
// The program's global objects and the start-up steps around the main window.

// The skin module and the 999 easing animators, constructed in that order.
void ConstructGlobalObjects();
// The at-exit routine: releases OutputFolder, the skin buffers, the skin module, ItemId and
// VideoUrl, and last the easing animators.
void ReleaseGlobalObjects();
// GdiplusStartup (version 1); the token is kept and GDI+ is never shut down.
void StartGdiPlusAtStartup();
// Maps the embedded skin engine into the skin module.
void LoadSkinEngineAtStartup();
