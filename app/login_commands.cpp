#include "app/login_commands.h"

#include <string>

#include "config/endpoints.h"
#include "app/main_window.h"
#include "browser/login_browser.h"
#include "runtime/controls.h"

namespace {

// Cookies go first, so the page loads signed out; the cookie box is emptied because a cookie
// pasted there belongs to the session being left.
void LoadLoginPage(const std::string& page) {
  HWND browser = ControlHandle(Control::精易Web浏览器1);
  ClearBrowserCookies(browser);
  if (HWND cookieBox = ControlHandle(Control::cookie值)) SetControlText(cookieBox, "");
  SetBrowserAddress(browser, page);
}

}  // namespace

void LoadTaobaoLogin() { LoadLoginPage(kTaobaoLoginPage); }

void LoadAlibabaLogin() { LoadLoginPage(kAlibabaLoginPage); }
