// Times the real program from the outside, as a person would see it:
//   bench_window.exe startup <runs> <program.exe> <minimal.exe>
//     launch to the welcome box, against a minimal program that shows a message box; the median of
//     <runs> launches of each, taken in turns
//   bench_window.exe animation <runs> <program.exe>
//     Page Up's widening (880 to 1220) and Page Down's narrowing, from the key to the final width,
//     with the number of distinct widths seen, against the nominal 17 ticks of 10 ms; and the help
//     panel's slide, from the click to its final top, against its 34 ticks
// Each prints its figures and a line "RESULT ..." for scripts/bench.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "bench/bench_clock.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"Lzv - E-commerce picture tool";
constexpr wchar_t kMessageBoxClass[] = L"#32770";
constexpr int kNarrowWidth = 880;
constexpr int kWideWidth = 1220;
constexpr double kNominalWidthMs = 17 * 10;  // 17 ticks of the nominal 10 ms timer
constexpr double kNominalHelpMs = 34 * 10;   // the help panel's slide: 34 ticks
// Command identifiers of the help panel and its buttons (the layout's order from 1001).
constexpr int kHelpPanelId = 1021;
constexpr int kHelpButtonId = 1016;
constexpr int kHelpOkButtonId = 1023;
constexpr int kHelpShownTop = 8;
constexpr int kHelpHiddenTop = 688;
constexpr DWORD kPatienceMs = 30000;

struct TopLevelSearch {
  DWORD process;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<TopLevelSearch*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (process == search->process && IsWindowVisible(window) && wcscmp(name, search->className) == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND TopLevelOf(DWORD process, const wchar_t* className) {
  TopLevelSearch search{process, className, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Polls every millisecond until `window` shows up; null when it does not within the patience.
template <typename Find>
HWND WaitFor(Find find) {
  for (const double begin = NowMs(); NowMs() - begin < kPatienceMs; Sleep(1))
    if (HWND found = find()) return found;
  return nullptr;
}

int WidthOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r.right - r.left;
}

class Launched {
 public:
  explicit Launched(const std::wstring& program) {
    std::wstring folder = program.substr(0, program.find_last_of(L"\\/"));
    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW si{sizeof si};
    ok_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi_);
  }
  ~Launched() {
    if (!ok_) return;
    if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;
  bool ok() const { return ok_ != FALSE; }
  DWORD id() const { return pi_.dwProcessId; }

 private:
  PROCESS_INFORMATION pi_{};
  BOOL ok_ = FALSE;
};

// Launches `program` and returns the milliseconds until its first message box shows (negative when
// none came); answers the box and closes the program's main window, if it has one.
double LaunchToFirstBox(const std::wstring& program) {
  const double start = NowMs();
  Launched launched(program);
  if (!launched.ok()) return -1;
  HWND box = WaitFor([&] { return TopLevelOf(launched.id(), kMessageBoxClass); });
  const double shown = NowMs() - start;
  if (!box) return -1;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  // The program goes on after the box: close its window once the box is gone.
  for (const double begin = NowMs(); NowMs() - begin < 3000; Sleep(5)) {
    if (TopLevelOf(launched.id(), kMessageBoxClass)) continue;
    if (HWND main = TopLevelOf(launched.id(), kMainWindowClass)) {
      PostMessageW(main, WM_CLOSE, 0, 0);
      break;
    }
  }
  return shown;
}

int Startup(int runs, const std::wstring& program, const std::wstring& minimal) {
  std::vector<double> programMs, minimalMs;
  LaunchToFirstBox(minimal);  // the first Wine process start loads what every later one shares
  LaunchToFirstBox(program);
  for (int i = 0; i < runs; ++i) {
    const double m = LaunchToFirstBox(minimal);
    const double p = LaunchToFirstBox(program);
    if (m < 0 || p < 0) {
      std::fprintf(stderr, "run %d: no message box came\n", i + 1);
      return 1;
    }
    std::printf("  run %d: program %.0f ms, minimal program %.0f ms\n", i + 1, p, m);
    programMs.push_back(p);
    minimalMs.push_back(m);
  }
  const double p = Median(programMs), m = Median(minimalMs);
  std::printf("launch to the welcome box: %.0f ms (median of %d, fastest %.0f); minimal message box program: %.0f ms "
              "(fastest %.0f)\n",
              p, runs, *std::min_element(programMs.begin(), programMs.end()), m,
              *std::min_element(minimalMs.begin(), minimalMs.end()));
  std::printf("ratio program / minimal: %.2f\n", p / m);
  std::printf("RESULT %.1f %.1f %.3f\n", p, m, p / m);
  return 0;
}

void PressKey(WORD vk) {
  INPUT in[2] = {};
  in[0].type = INPUT_KEYBOARD;
  in[0].ki.wVk = vk;
  in[1].type = INPUT_KEYBOARD;
  in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

struct Slide {
  double ms = -1;  // key to final width; negative when the width never arrived
  size_t frames = 0;
};

// Presses `vk` and watches the window's width until it reads `target`.
Slide TimeSlide(HWND main, WORD vk, int target) {
  Slide slide;
  std::set<int> seen;
  const int before = WidthOf(main);
  const double start = NowMs();
  PressKey(vk);
  for (;;) {
    const int width = WidthOf(main);
    if (width != before) seen.insert(width);
    if (width == target) break;
    if (NowMs() - start > 10000) return slide;
    Sleep(1);
  }
  slide.ms = NowMs() - start;
  slide.frames = seen.size();
  return slide;
}

struct IdSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchId(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<IdSearch*>(parameter);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}

HWND Descendant(HWND parent, int id) {
  IdSearch search{id, nullptr};
  EnumChildWindows(parent, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int TopInParent(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r.top;
}

// Clicks `button` (the click reaches the program as a message, as a person's would) and watches
// the help panel's top until it reads `target`.
Slide TimeHelpSlide(HWND button, HWND panel, int target) {
  Slide slide;
  std::set<int> seen;
  const int before = TopInParent(panel);
  const double start = NowMs();
  PostMessageW(button, BM_CLICK, 0, 0);
  for (;;) {
    const int top = TopInParent(panel);
    if (top != before) seen.insert(top);
    if (top == target) break;
    if (NowMs() - start > 10000) return slide;
    Sleep(1);
  }
  slide.ms = NowMs() - start;
  slide.frames = seen.size();
  return slide;
}

int Animation(int runs, const std::wstring& program) {
  Launched launched(program);
  if (!launched.ok()) return 1;
  HWND box = WaitFor([&] { return TopLevelOf(launched.id(), kMessageBoxClass); });
  if (!box) return 1;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  HWND main = WaitFor([&] {
    return TopLevelOf(launched.id(), kMessageBoxClass) ? nullptr : TopLevelOf(launched.id(), kMainWindowClass);
  });
  if (!main) return 1;
  Sleep(1500);  // the created handler registers the hot keys after the box; the first page settles

  std::vector<double> widen, narrow;
  std::vector<double> widenFrames;
  for (int i = 0; i < runs; ++i) {
    const Slide up = TimeSlide(main, VK_PRIOR, kWideWidth);
    Sleep(300);
    const Slide down = TimeSlide(main, VK_NEXT, kNarrowWidth);
    Sleep(300);
    if (up.ms < 0 || down.ms < 0) {
      std::fprintf(stderr, "run %d: the window did not reach its width (hot keys taken?)\n", i + 1);
      PostMessageW(main, WM_CLOSE, 0, 0);
      return 1;
    }
    std::printf("  run %d: widening %.0f ms, %zu widths seen; narrowing %.0f ms, %zu widths seen\n", i + 1, up.ms,
                up.frames, down.ms, down.frames);
    widen.push_back(up.ms);
    narrow.push_back(down.ms);
    widenFrames.push_back(static_cast<double>(up.frames));
  }
  HWND panel = Descendant(main, kHelpPanelId), help = Descendant(main, kHelpButtonId),
       ok = Descendant(main, kHelpOkButtonId);
  std::vector<double> rise;
  for (int i = 0; panel && help && ok && i < runs; ++i) {
    const Slide up = TimeHelpSlide(help, panel, kHelpShownTop);
    Sleep(300);
    const Slide down = TimeHelpSlide(ok, panel, kHelpHiddenTop);
    Sleep(300);
    if (up.ms < 0 || down.ms < 0) break;
    std::printf("  run %d: help panel up %.0f ms, %zu tops seen; down %.0f ms, %zu tops seen\n", i + 1, up.ms,
                up.frames, down.ms, down.frames);
    rise.push_back(up.ms);
  }
  PostMessageW(main, WM_CLOSE, 0, 0);
  const double w = Median(widen), n = Median(narrow), f = Median(widenFrames);
  std::printf("Page Up, key to width 1220: %.0f ms (median of %d), %.0f widths seen; nominal 17 ticks x 10 ms = "
              "%.0f ms\n",
              w, runs, f, kNominalWidthMs);
  std::printf("Page Down, key to width 880: %.0f ms (median)\n", n);
  std::printf("ratio actual / nominal: widening %.2f, narrowing %.2f\n", w / kNominalWidthMs, n / kNominalWidthMs);
  const double h = Median(rise);
  std::printf("help panel, click to top 8: %.0f ms (median); nominal 34 ticks x 10 ms = %.0f ms; ratio %.2f\n", h,
              kNominalHelpMs, h / kNominalHelpMs);
  std::printf("RESULT %.1f %.0f %.1f %.3f\n", w, f, n, w / kNominalWidthMs);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Millisecond sleeps for the polling loops.
  timeBeginPeriod(1);
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"startup" && argc == 5) return Startup(_wtoi(argv[2]), argv[3], argv[4]);
  if (mode == L"animation" && argc == 4) return Animation(_wtoi(argv[2]), argv[3]);
  std::fprintf(stderr,
               "usage: bench_window startup <runs> <program.exe> <minimal.exe>\n"
               "       bench_window animation <runs> <program.exe>\n");
  return 2;
}
