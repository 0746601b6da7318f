// Start-up and created-handler steps that belong to other subsystems.
#include "app/main_window_internal.h"

#include "app/endpoints.h"
#include "browser/login_browser.h"

HWND CreateBrowserPanel(HWND parent, int x, int y, int width, int height, int controlId) {
  return CreateBrowserControl(parent, x, y, width, height, controlId, kTaobaoLoginPage);
}

void ClearBrowserPanelCookies() { ClearBrowserCookies(ControlHandle(Control::精易Web浏览器1)); }

void ApplyWindowSkin(HWND) {}
