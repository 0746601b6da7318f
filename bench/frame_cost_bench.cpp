// What one animation frame of the window costs, piece by piece. The program's own window is built
// in-process, unskinned and skinned, with and without its drop shadow, and driven through the
// widths of Page Up's widening and Page Down's narrowing; then the shadow's pieces are timed alone.
//   bench_frame_cost.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "effects/easing.h"
#include "effects/shadow.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"

namespace {

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000 / frequency;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// The machine may be shared: the median is what one frame costs when nothing else gets in the way.
double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

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

// One frame as the program makes it: the new width, then the repaint its message loop does.
SlideCost TimeSlides(HWND window, int rounds) {
  std::vector<double> up, down;
  for (int round = 0; round < rounds; ++round) {
    for (auto [from, to, log] : {std::tuple{880, 1220, &up}, std::tuple{1220, 880, &down}}) {
      for (int width : FrameWidths(from, to)) {
        const double start = NowMs();
        SetWidth(window, width);
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Pump();
        log->push_back(NowMs() - start);
      }
    }
  }
  return {Median(up), Median(down)};
}

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
  }
  AttachShadow(window, RGB(0, 0, 0), 0);
  Report("skinned, no shadow", TimeSlides(window, rounds));
  Close(main);
  return 0;
}
