// The clicked handlers of the two login buttons under the browser panel.
#include "app/main_window.h"
#include "browser/login_browser.h"
#include "runtime/controls.h"

// Cookies go first, so the page loads signed out; the cookie box is emptied because a cookie
// pasted there belongs to the session being left.
void MainWindow::LoadLoginPage(const std::string& page) {
  HWND browser = control(Control::精易Web浏览器1);
  ClearBrowserCookies(browser);
  if (HWND cookieBox = control(Control::cookie值)) SetControlText(cookieBox, "");
  SetBrowserAddress(browser, page);
}

void MainWindow::LoadTaobaoLogin() { LoadLoginPage(config_.hosts.taobaoLoginPage); }

void MainWindow::LoadAlibabaLogin() { LoadLoginPage(config_.hosts.alibabaLoginPage); }
