// A small program around the browser panel for the tests: the panel inside a group box as the
// main window lays it out. It loads node.dll from its own folder like the real program, clears
// the cookies once as the created handler does, runs the actions named on its command line, and
// logs every notice of the panel and report line to "calls.log" in that folder (where the engine doubles
// log too).
//
//   browser_host.exe [action...]
//   actions: clear | address=<text> | report | pump=<ms> | focus | resize=<w>,<h> | destroy
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "config/endpoints.h"
#include "browser/login_browser.h"
#include "runtime/codepage.h"
#include "runtime/program_dir.h"

namespace {

constexpr int kBrowserId = 1001;
HWND g_group = nullptr;
HWND g_browser = nullptr;

void Log(const std::string& line) {
  std::wstring path = GbkToWide(ProgramDirectory() + "\\calls.log");
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

void Pump(DWORD milliseconds) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

std::string ChildClasses(HWND window) {
  std::string out;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (!out.empty()) out += ',';
    out += WideToGbk(name);
  }
  return out;
}

// The client size of the panel's first child, the engine's view window.
std::string ViewSize() {
  HWND view = g_browser ? GetWindow(g_browser, GW_CHILD) : nullptr;
  RECT rect{};
  if (view) GetClientRect(view, &rect);
  return std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

void Report() {
  RECT rect{};
  if (g_browser) {
    GetWindowRect(g_browser, &rect);
    MapWindowPoints(nullptr, g_group, reinterpret_cast<POINT*>(&rect), 2);
  }
  wchar_t className[64] = {};
  if (g_browser) GetClassNameW(g_browser, className, 64);
  LONG style = g_browser ? GetWindowLongW(g_browser, GWL_STYLE) : 0;
  // Built piece by piece: GCC 12 warns falsely (-Wrestrict) on long chains of string additions.
  std::string line = "report";
  auto field = [&line](const char* name, const std::string& value) {
    line += '\t';
    line += name;
    line += '=';
    line += value;
  };
  field("control", std::to_string(reinterpret_cast<INT_PTR>(g_browser)));
  field("class", WideToGbk(className));
  field("id", std::to_string(g_browser ? GetDlgCtrlID(g_browser) : 0));
  field("rect", std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                    std::to_string(rect.right - rect.left) + "," + std::to_string(rect.bottom - rect.top));
  field("tabstop", (style & WS_TABSTOP) ? "1" : "0");
  field("visible", IsWindowVisible(g_browser) ? "1" : "0");
  field("address", BrowserAddress(g_browser));
  field("children", g_browser ? ChildClasses(g_browser) : std::string());
  field("viewsize", ViewSize());
  Log(line);
}

void RunAction(const std::string& action) {
  auto value = [&](size_t prefix) { return action.substr(prefix); };
  if (action.rfind("address=", 0) == 0) {
    SetBrowserAddress(g_browser, value(8));
  } else if (action == "clear") {
    ClearBrowserCookies(g_browser);
  } else if (action == "report") {
    Report();
  } else if (action.rfind("pump=", 0) == 0) {
    Pump(static_cast<DWORD>(std::atoi(value(5).c_str())));
  } else if (action == "focus") {
    SetFocus(g_browser);
  } else if (action.rfind("resize=", 0) == 0) {
    std::string size = value(7);
    size_t comma = size.find(',');
    MoveWindow(g_browser, 10, 16, std::atoi(size.substr(0, comma).c_str()),
               comma == std::string::npos ? 0 : std::atoi(size.substr(comma + 1).c_str()), TRUE);
  } else if (action == "destroy") {
    DestroyWindow(g_browser);
    g_browser = nullptr;
  }
  Log("done\t" + action);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> actions;
  for (int i = 1; argv && i < argc; ++i) actions.push_back(WideToGbk(argv[i]));
  if (argv) LocalFree(argv);

  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"BrowserHostWindow";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"browser host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 880,
                                700, nullptr, nullptr, instance, nullptr);
  g_group = CreateWindowExW(0, L"BUTTON", L" 【Cookie控制台】 ", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 8, 8, 368,
                            482, window, nullptr, instance, nullptr);
  g_browser = CreateBrowserControl(g_group, 10, 16, 346, 408, kBrowserId, kTaobaoLoginPage,
                                   [](const std::string& caption, const std::string& text) {
                                     Log("message\t" + caption + "\t" + Escaped(text));
                                   });
  Log("created\t" + std::to_string(reinterpret_cast<INT_PTR>(g_browser)));
  // What the main window's created handler does once the panel exists.
  ClearBrowserCookies(g_browser);
  Log("started");
  for (const std::string& action : actions) RunAction(action);
  DestroyWindow(window);
  Log("closed");
  return 0;
}
