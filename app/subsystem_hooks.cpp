// Start-up and created-handler steps that belong to other subsystems.
#include "app/main_window_internal.h"

HWND CreateBrowserPanel(HWND parent, int x, int y, int width, int height, int controlId) {
  return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), GetModuleHandleW(nullptr),
                         nullptr);
}

void ClearBrowserPanelCookies() {}

void ApplyWindowSkin(HWND) {}
