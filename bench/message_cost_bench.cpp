// What one message to a window of this process costs under this Wine, and the system calls a
// procedure put in front of a window's own may make on each message:
//   bench_message_cost [messages]
// A window is sent the same message many times: bare, through comctl32's SetWindowSubclass (one
// and two layers), and through procedures whose previous procedure and state sit in a table of
// their own (runtime/window_subclass.h, as the skin engine and the window keep theirs). Beside
// them, the calls alone: a window property read, a window long read, a call of the previous
// procedure. Prints microseconds per message or call.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "runtime/window_subclass.h"

#include "bench/bench_clock.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;

LRESULT CALLBACK Bare(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kProbe) return 1;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ComctlLayer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  return DefSubclassProc(hwnd, msg, wp, lp);
}

struct Nothing {};
LRESULT CALLBACK TableLayer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK OtherTableLayer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
WindowSubclasses<Nothing> g_table(TableLayer);
WindowSubclasses<Nothing> g_otherTable(OtherTableLayer);

LRESULT CALLBACK TableLayer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return g_table.Dispatch(hwnd, msg, wp, lp, [&](const WindowSubclasses<Nothing>::Entry& e) {
    return CallWindowProcW(e.previous, hwnd, msg, wp, lp);
  });
}
LRESULT CALLBACK OtherTableLayer(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return g_otherTable.Dispatch(hwnd, msg, wp, lp, [&](const WindowSubclasses<Nothing>::Entry& e) {
    return CallWindowProcW(e.previous, hwnd, msg, wp, lp);
  });
}

// A message-only window of the probe's class, whose procedure is Bare.
HWND MakeWindow() {
  return CreateWindowExW(0, L"MessageCostProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

// Microseconds per call of `work`, the best of three rounds (the machine may be shared).
double MicrosecondsEach(int count, const std::function<void()>& work) {
  std::vector<double> rounds;
  for (int r = 0; r < 3; ++r) {
    const double start = NowMs();
    for (int i = 0; i < count; ++i) work();
    rounds.push_back((NowMs() - start) * 1000 / count);
  }
  return *std::min_element(rounds.begin(), rounds.end());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? std::max(100, _wtoi(argv[1])) : 20000;
  WNDCLASSW probe{0, Bare, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"MessageCostProbe"};
  if (!RegisterClassW(&probe)) return 1;
  const struct Setup {
    const char* what;
    std::function<void(HWND)> apply;
  } setups[] = {
      {"bare window procedure", [](HWND) {}},
      {"one comctl32 subclass", [](HWND w) { SetWindowSubclass(w, ComctlLayer, 1, 0); }},
      {"two comctl32 subclasses",
       [](HWND w) {
         SetWindowSubclass(w, ComctlLayer, 1, 0);
         SetWindowSubclass(w, ComctlLayer, 2, 0);
       }},
      {"one table subclass", [](HWND w) { g_table.Attach(w, {}); }},
      {"two table subclasses",
       [](HWND w) {
         g_table.Attach(w, {});
         g_otherTable.Attach(w, {});
       }},
  };
  std::printf("one message sent to a window of this process, %d times (best of 3 rounds):\n", count);
  for (const Setup& s : setups) {
    HWND window = MakeWindow();
    if (!window) return 1;
    s.apply(window);
    const double us = MicrosecondsEach(count, [&] { SendMessageW(window, kProbe, 0, 0); });
    std::printf("  %-28s %8.2f us\n", s.what, us);
    DestroyWindow(window);
  }

  HWND window = MakeWindow();
  if (!window) return 1;
  SetPropW(window, L"MessageCost.Probe", reinterpret_cast<HANDLE>(1));
  const auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
  const struct Call {
    const char* what;
    std::function<void()> call;
  } calls[] = {
      {"GetPropW", [&] { GetPropW(window, L"MessageCost.Probe"); }},
      {"GetWindowLongPtrW", [&] { GetWindowLongPtrW(window, GWLP_WNDPROC); }},
      {"CallWindowProcW", [&] { CallWindowProcW(procedure, window, kProbe, 0, 0); }},
      {"IsWindow", [&] { IsWindow(window); }},
  };
  std::printf("one call on a window of this process:\n");
  for (const Call& c : calls) std::printf("  %-28s %8.2f us\n", c.what, MicrosecondsEach(count, c.call));
  DestroyWindow(window);
  return 0;
}
