// Start-up and created-handler steps that belong to other subsystems.
#include "app/main_window_internal.h"

#include "config/endpoints.h"
#include "browser/login_browser.h"
#include "effects/skin.h"

HWND CreateBrowserPanel(HWND parent, int x, int y, int width, int height, int controlId) {
  return CreateBrowserControl(parent, x, y, width, height, controlId, kTaobaoLoginPage);
}

void ClearBrowserPanelCookies() { ClearBrowserCookies(ControlHandle(Control::精易Web浏览器1)); }

// Skin 1 of the first set, with a 5-pixel black shadow.
void ApplyWindowSkin(HWND window) { ApplySkin(1, window, 1, 1, 5, RGB(0, 0, 0)); }
