// Creation steps that belong to other subsystems.
#include "app/subsystem_hooks.h"

#include "browser/login_browser.h"
#include "effects/skin.h"

HWND CreateBrowserPanel(HWND parent, int x, int y, int width, int height, int controlId,
                        const std::string& initialAddress, const MessageBoxAnswerer& answer) {
  BrowserNotice notice;
  if (answer)
    notice = [answer](const std::string& caption, const std::string& text) {
      answer(MessageBoxRequest{text, caption, MB_OK, nullptr});
    };
  return CreateBrowserControl(parent, x, y, width, height, controlId, initialAddress, notice);
}

void ClearBrowserPanelCookies(HWND panel) { ClearBrowserCookies(panel); }

void ApplyWindowSkin(HWND window) { ApplySkin(1, window, 1, 1, 5, RGB(0, 0, 0)); }
