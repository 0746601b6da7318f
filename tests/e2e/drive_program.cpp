// Drives the running program one step at a time through the window system, for scripts that take
// pictures of it (scripts/screenshot): each run does one step, waits until the window shows its
// outcome, and exits with 0, or with 1 and a line on the standard error.
//   drive_program welcome                 answers the welcome message
//   drive_program harvest <platform> <link>  types the link, presses the platform's button
//                                         (taobao, tmall, jd, alibaba) and waits for the rows
//   drive_program press <platform> <link>  the same, whatever comes of it: prints the status line
//                                         and how long the button kept the window busy
//   drive_program point-status            puts the mouse over the status line (its tooltip shows)
//   drive_program save yes|no             presses the download button and answers the question
//   drive_program help                    presses the help button and waits for the panel
//   drive_program widen-folder <title>    makes the file browser showing a folder (its title) wide
//                                         enough that every file name is shown whole
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "tests/e2e/program_window.h"
#include "tests/support/window_support.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr DWORD kSaveTimeoutMs = 120000;

int Fail(const char* what) {
  std::fprintf(stderr, "drive_program: %s\n", what);
  return 1;
}

HWND MainWindow() {
  HWND main = nullptr;
  WaitFor([&] { return (main = FindWindowW(kMainWindowClass, nullptr)) != nullptr; }, kStepTimeoutMs);
  return main;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

int Welcome() {
  // The box comes before the main window is shown: look for it by caption among all windows.
  HWND box = nullptr;
  WaitFor(
      [&] {
        box = FindWindowW(L"#32770", GbkToWide("【岚栩】- 这是一个提示！").c_str());
        return box != nullptr;
      },
      kStepTimeoutMs);
  if (!box || !AnswerMessageBox(box, IDOK, kStepTimeoutMs)) return Fail("no welcome message");
  return MainWindow() ? 0 : Fail("no main window");
}

Control ButtonOf(const std::string& platform) {
  return platform == "taobao" ? Control::淘宝_按钮
         : platform == "tmall" ? Control::天猫_按钮
         : platform == "jd"    ? Control::京东_按钮
                               : Control::阿里_按钮;
}

// GBK text in UTF-8, for the terminal.
std::string Utf8(const std::string& gbk) {
  const std::wstring wide = GbkToWide(gbk);
  std::string utf8(wide.size() * 3 + 1, '\0');
  utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                                      utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
  return utf8;
}

int Harvest(const std::string& platform, const std::string& link) {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  SetControlText(ControlOf(main, Control::url), link);
  if (!PressButton(ControlOf(main, ButtonOf(platform)), kStepTimeoutMs)) return Fail("the button did not answer");
  RemoteListView list(ControlOf(main, Control::images_列表框));
  if (!WaitUntilSettled([&] { return list.Rows() ? std::to_string(list.Rows()) : std::string(); }, kStepTimeoutMs))
    return Fail("no rows");
  std::printf("%d rows\n", list.Rows());
  return 0;
}

int Save(bool openFolder) {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  if (!PressButton(ControlOf(main, Control::数据_下载), kStepTimeoutMs)) return Fail("the button did not answer");
  HWND box = WaitForMessageBox(ProcessOf(main), "岚栩 - 提示", kSaveTimeoutMs);
  if (!box) return Fail("the save asked nothing");
  std::printf("%s\n", Utf8(GetControlText(ControlOf(main, Control::岚栩_tim))).c_str());
  return AnswerMessageBox(box, openFolder ? IDYES : IDNO, kStepTimeoutMs) ? 0 : Fail("the question stayed");
}

int Press(const std::string& platform, const std::string& link) {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  SetControlText(ControlOf(main, Control::url), link);
  const DWORD start = GetTickCount();
  if (!PressButton(ControlOf(main, ButtonOf(platform)), kSaveTimeoutMs)) return Fail("the button did not answer");
  std::printf("%lu ms\n%s\n", static_cast<unsigned long>(GetTickCount() - start),
              Utf8(GetControlText(ControlOf(main, Control::岚栩_tim))).c_str());
  return 0;
}

int PointAtStatus() {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  RECT r{};
  GetWindowRect(ControlOf(main, Control::岚栩_tim), &r);
  // Two moves: the tooltip wants the mouse to come to rest over its tool.
  SetCursorPos(r.left + 100, (r.top + r.bottom) / 2);
  Sleep(100);
  SetCursorPos(r.left + 120, (r.top + r.bottom) / 2);
  return 0;
}

int Help() {
  HWND main = MainWindow();
  if (!main) return Fail("no main window");
  if (!PressButton(ControlOf(main, Control::帮助), kStepTimeoutMs)) return Fail("the button did not answer");
  HWND panel = ControlOf(main, Control::帮助分组);
  // The panel slides up; it has arrived when its top stops changing.
  LONG last = -1;
  bool arrived = WaitFor(
      [&] {
        RECT r = RectInParent(panel);
        const bool still = r.top == last;
        last = r.top;
        Sleep(100);
        return still && r.top < 100;
      },
      kStepTimeoutMs);
  return arrived ? 0 : Fail("the help panel did not arrive");
}

BOOL CALLBACK FindListView(HWND window, LPARAM found) {
  if (WindowClassName(window) != "SysListView32") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

int WidenFolder(const std::string& title) {
  HWND browser = nullptr;
  WaitFor([&] { return (browser = FindWindowW(nullptr, GbkToWide(title).c_str())) != nullptr; }, kStepTimeoutMs);
  if (!browser) return Fail("no file browser");
  SetWindowPos(browser, nullptr, 0, 0, 760, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  HWND list = nullptr;
  WaitFor(
      [&] {
        EnumChildWindows(browser, FindListView, reinterpret_cast<LPARAM>(&list));
        return list != nullptr;
      },
      kStepTimeoutMs);
  if (!list) return Fail("no file list");
  SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::string step = argc > 1 ? WideToGbk(argv[1]) : "";
  if (step == "welcome") return Welcome();
  if (step == "harvest" && argc == 4) return Harvest(WideToGbk(argv[2]), WideToGbk(argv[3]));
  if (step == "save" && argc == 3) return Save(WideToGbk(argv[2]) == "yes");
  if (step == "press" && argc == 4) return Press(WideToGbk(argv[2]), WideToGbk(argv[3]));
  if (step == "point-status") return PointAtStatus();
  if (step == "help") return Help();
  if (step == "widen-folder" && argc == 3) return WidenFolder(WideToGbk(argv[2]));
  return Fail("usage: drive_program welcome | harvest <platform> <link> | save yes|no | help | widen-folder <title>");
}
