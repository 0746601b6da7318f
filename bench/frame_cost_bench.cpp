// What one animation frame of the window costs, piece by piece. The program's own window is built
// in-process, unskinned and skinned, with and without its drop shadow, and driven through the
// widths of Page Up's widening and Page Down's narrowing; then the shadow's pieces are timed alone.
//   bench_frame_cost.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "effects/easing.h"
#include "effects/shadow.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"

#include "bench/bench_clock.h"

namespace {

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The machine may be shared: the median is what one frame costs when nothing else gets in the way.
double MedianMs(int count, const std::function<void(int)>& work) {
  std::vector<double> each;
  for (int i = 0; i < count; ++i) {
    const double start = NowMs();
    work(i);
    each.push_back(NowMs() - start);
    Pump();
  }
  return Median(each);
}

void SetWidth(HWND window, int width) {
  RECT r;
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The widths the animation sets, 17 frames of the cubic-out curve.
std::vector<int> FrameWidths(int from, int to) {
  std::vector<int> widths;
  for (int k = 1; k < 17; ++k) widths.push_back(static_cast<int>(Ease(5, k / 17.0, from, to)));
  widths.push_back(to);
  return widths;
}

struct SlideCost {
  double widening = 0;  // median milliseconds of one frame
  double narrowing = 0;
};

// One frame as the program makes it: the new width, then the repaint its message loop does. The
// shadow is held at the larger width through the slide and released after its last frame.
double TimeFrame(HWND window, int width, bool last) {
  const double start = NowMs();
  SetWidth(window, width);
  if (last) ReleaseShadowWidth(window);
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  return NowMs() - start;
}

SlideCost TimeSlides(HWND window, int rounds) {
  std::vector<double> up, down;
  for (int round = 0; round < rounds; ++round) {
    for (auto [from, to, log] : {std::tuple{880, 1220, &up}, std::tuple{1220, 880, &down}}) {
      HoldShadowWidth(window, std::max(from, to));
      const std::vector<int> widths = FrameWidths(from, to);
      for (size_t i = 0; i < widths.size(); ++i) log->push_back(TimeFrame(window, widths[i], i + 1 == widths.size()));
    }
  }
  return {Median(up), Median(down)};
}

// Where a frame's time goes: every window of the program is subclassed (outermost) and each
// message it handles is timed, less the time of the messages it sends on to other windows.
class MessageProfile {
 public:
  explicit MessageProfile(HWND top) {
    Watch(top);
    EnumChildWindows(top, WatchChild, reinterpret_cast<LPARAM>(this));
  }
  ~MessageProfile() {
    for (HWND w : watched_)
      if (IsWindow(w)) RemoveWindowSubclass(w, Proc, kId);
  }
  MessageProfile(const MessageProfile&) = delete;
  MessageProfile& operator=(const MessageProfile&) = delete;

  // Milliseconds and counts per frame, the largest first.
  void Print(int frames) const {
    std::vector<std::pair<double, std::string>> rows;
    for (const auto& [key, entry] : entries_) {
      char line[160];
      std::snprintf(line, sizeof line, "%-28s %-22s %5.1f per frame", key.first.c_str(), MessageName(key.second),
                    static_cast<double>(entry.count) / frames);
      rows.push_back({entry.ms / frames, line});
    }
    std::sort(rows.rbegin(), rows.rend());
    for (size_t i = 0; i < rows.size() && i < 24; ++i)
      std::printf("    %s %7.2f ms\n", rows[i].second.c_str(), rows[i].first);
  }

 private:
  static constexpr UINT_PTR kId = 0x50524F46;
  struct Entry {
    double ms = 0;
    long count = 0;
  };
  struct Frame {
    double start;
    double nested;
  };

  static BOOL CALLBACK WatchChild(HWND child, LPARAM self) {
    reinterpret_cast<MessageProfile*>(self)->Watch(child);
    return TRUE;
  }
  void Watch(HWND w) {
    if (SetWindowSubclass(w, Proc, kId, reinterpret_cast<DWORD_PTR>(this))) watched_.push_back(w);
  }

  static const char* MessageName(UINT m) {
    switch (m) {
      case WM_PAINT: return "WM_PAINT";
      case WM_NCPAINT: return "WM_NCPAINT";
      case WM_ERASEBKGND: return "WM_ERASEBKGND";
      case WM_SIZE: return "WM_SIZE";
      case WM_MOVE: return "WM_MOVE";
      case WM_WINDOWPOSCHANGED: return "WM_WINDOWPOSCHANGED";
      case WM_WINDOWPOSCHANGING: return "WM_WINDOWPOSCHANGING";
      case WM_NCCALCSIZE: return "WM_NCCALCSIZE";
      case WM_GETMINMAXINFO: return "WM_GETMINMAXINFO";
      case WM_CTLCOLOREDIT: return "WM_CTLCOLOREDIT";
      case WM_CTLCOLORSTATIC: return "WM_CTLCOLORSTATIC";
      case WM_CTLCOLORBTN: return "WM_CTLCOLORBTN";
      case WM_DRAWITEM: return "WM_DRAWITEM";
      case WM_NOTIFY: return "WM_NOTIFY";
      case WM_PRINTCLIENT: return "WM_PRINTCLIENT";
      case WM_SYNCPAINT: return "WM_SYNCPAINT";
      case WM_NCACTIVATE: return "WM_NCACTIVATE";
      case WM_GETTEXT: return "WM_GETTEXT";
      case WM_GETTEXTLENGTH: return "WM_GETTEXTLENGTH";
      case WM_SETREDRAW: return "WM_SETREDRAW";
      case WM_TIMER: return "WM_TIMER";
      case WM_GETFONT: return "WM_GETFONT";
      case WM_NCHITTEST: return "WM_NCHITTEST";
      case WM_SETCURSOR: return "WM_SETCURSOR";
      case WM_STYLECHANGED: return "WM_STYLECHANGED";
    }
    static char other[16];
    std::snprintf(other, sizeof other, "0x%04X", m);
    return other;
  }

  static std::string NameOf(HWND w) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    char name[96];
    std::snprintf(name, sizeof name, "%ls#%d", cls, (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetDlgCtrlID(w) : 0);
    return name;
  }

  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<MessageProfile*>(data);
    if (m == WM_NCDESTROY) RemoveWindowSubclass(w, Proc, kId);
    self->stack_.push_back({NowMs(), 0});
    const LRESULT result = DefSubclassProc(w, m, wp, lp);
    const Frame f = self->stack_.back();
    self->stack_.pop_back();
    const double total = NowMs() - f.start;
    Entry& e = self->entries_[{NameOf(w), m}];
    e.ms += total - f.nested;
    ++e.count;
    if (!self->stack_.empty()) self->stack_.back().nested += total;
    return result;
  }

  std::vector<HWND> watched_;
  std::vector<Frame> stack_;
  std::map<std::pair<std::string, UINT>, Entry> entries_;
};

void Report(const char* what, double ms) { std::printf("  %-66s %7.2f ms\n", what, ms); }
void Report(const char* what, const SlideCost& cost) {
  std::printf("  %-50s widening %6.2f ms, narrowing %6.2f ms\n", what, cost.widening, cost.narrowing);
}

// The program's window; its welcome box is answered at once.
std::unique_ptr<MainWindow> MakeWindow() {
  WindowConfig config;
  config.answer = [](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); };
  auto main = std::make_unique<MainWindow>(config);
  if (!main->Create(GetModuleHandleW(nullptr))) return nullptr;
  Pump();
  return main;
}

void Close(std::unique_ptr<MainWindow>& main) {
  main.reset();
  Pump();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? _wtoi(argv[1]) : 3;
  ConstructGlobalObjects();
  StartGdiPlusAtStartup();

  std::printf("one frame of Page Up's widening and Page Down's narrowing, median of %d slides each\n", rounds);
  // Without the skin engine first: the same window drawn by the system.
  std::unique_ptr<MainWindow> main = MakeWindow();
  if (!main) return 1;
  HWND window = main->handle();
  Report("unskinned, with the shadow", TimeSlides(window, rounds));
  AttachShadow(window, RGB(0, 0, 0), 0);
  Report("unskinned, no shadow", TimeSlides(window, rounds));
  Close(main);

  LoadSkinEngineAtStartup();
  main = MakeWindow();
  if (!main) return 1;
  window = main->handle();
  Report("skinned, with the shadow (the program)", TimeSlides(window, rounds));
  {
    std::printf("  where a widening frame's time goes (each window's own handling of each message)\n");
    MessageProfile profile(window);
    double outside = 0;
    HoldShadowWidth(window, 1220);
    const std::vector<int> widths = FrameWidths(880, 1220);
    for (size_t i = 0; i < widths.size(); ++i) outside += TimeFrame(window, widths[i], i + 1 == widths.size());
    SetWidth(window, 880);
    Pump();
    std::printf("    (frame %.2f ms in all)\n", outside / 17);
    profile.Print(17);
  }
  Report("  its move alone (SetWindowPos), with the shadow", MedianMs(17, [&](int i) {
           SetWindowPos(window, nullptr, 100 + i % 2, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
         }));
  Report("  every control repainted (RDW_INVALIDATE | RDW_UPDATENOW)", MedianMs(5, [&](int) {
           RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
         }));

  std::printf("the shadow's pieces, at the wide window's size\n");
  SetWidth(window, 1220);
  Pump();
  HWND shadow = static_cast<HWND>(GetPropW(window, kShadowProp));
  RECT placed;
  GetWindowRect(shadow, &placed);
  const int w = placed.right - placed.left, h = placed.bottom - placed.top;
  {
    WindowDc screen(shadow);
    Report("bitmap painted with GDI+ over the whole", MedianMs(17, [&](int) {
             ShadowBitmap b = PaintShadowBitmap(screen.get(), w, h, 5, RGB(0, 0, 0));
           }));
    Report("bitmap drawn", MedianMs(17, [&](int) { ShadowBitmap b = DrawShadowBitmap(screen.get(), w, h, 5, RGB(0, 0, 0)); }));
    ShadowBitmap bitmap = DrawShadowBitmap(screen.get(), w, h, 5, RGB(0, 0, 0));
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    SelectedObject selected(memory.get(), bitmap.bitmap.get());
    auto push = [&](int width) {
      SIZE size{width, h};
      POINT source{0, 0}, at{placed.left, placed.top};
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      UpdateLayeredWindow(shadow, screen.get(), &at, &size, memory.get(), &source, 0, &blend, ULW_ALPHA);
    };
    Report("pushed, same size (UpdateLayeredWindow)", MedianMs(17, [&](int) { push(w); }));
    Report("pushed, one pixel narrower or wider (UpdateLayeredWindow)", MedianMs(17, [&](int i) { push(w - i % 2); }));
    auto pushDirty = [&](int width, RECT dirty) {
      SIZE size{width, h};
      POINT source{0, 0}, at{placed.left, placed.top};
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      UPDATELAYEREDWINDOWINFO info{sizeof info, screen.get(), &at, &size, memory.get(), &source, 0, &blend, ULW_ALPHA, &dirty};
      return UpdateLayeredWindowIndirect(shadow, &info);
    };
    Report("pushed, same size, only the 20 columns that changed", MedianMs(17, [&](int) {
             pushDirty(w, RECT{w - 20, 0, w, h});
           }));
  }
  AttachShadow(window, RGB(0, 0, 0), 0);
  Report("skinned, no shadow", TimeSlides(window, rounds));
  Close(main);
  return 0;
}
