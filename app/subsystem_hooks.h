#pragma once
// Steps of the window's creation that other subsystems provide.

#include <windows.h>

#include <string>

#include "runtime/message_box.h"

// The login browser panel, loading `initialAddress`; a missing or incomplete engine is told
// through `answer` (the system's boxes when empty).
HWND CreateBrowserPanel(HWND parent, int x, int y, int width, int height, int controlId,
                        const std::string& initialAddress, const MessageBoxAnswerer& answer);
void ClearBrowserPanelCookies(HWND panel);
// Skin 1 of the first set, with a 5-pixel black shadow.
void ApplyWindowSkin(HWND window);
