// The handlers that are neither extractors, savers nor browser commands: clearing the harvest,
// the help panel and the two window-width hot keys, with the slides they start (a widened window
// keeps within the screen's work area).
#include <climits>
#include <cmath>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "effects/ease_animator.h"
#include "effects/easing.h"
#include "effects/window_slide.h"
#include "runtime/controls.h"

namespace {

constexpr int kNarrowWidth = 880;
constexpr int kWideWidth = 1220;
constexpr int kWidthDuration = 170;
constexpr int kHelpShownTop = 8;
constexpr int kHelpHiddenTop = 688;
constexpr int kHelpDuration = 340;
constexpr int kDefaultInterval = 10;

// Toward zero, as the frames are meant; a value beyond int (or NaN) cannot come from the curves
// the handlers use, but must not become undefined behaviour either.
int TruncateToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

// The work area of the screen the window is on (the screen without the task bar).
RECT WorkAreaOf(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) return monitor.rcWork;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

// A control's rectangle in its parent's client coordinates, where SetWindowPos places it.
RECT RectInParent(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

void MainWindow::ResizeWindowTo(int targetWidth) {
  EaseAnimator* animator = EasingSlot(kWindowWidthSlot);
  if (!animator || !window_) return;
  RECT r{};
  GetWindowRect(window_, &r);
  const RECT work = WorkAreaOf(window_);
  // Where an earlier slide moved the window from, unless it has been moved by hand since.
  std::optional<int> home;
  if (movedBySlide_ && movedBySlide_->left == r.left) home = movedBySlide_->home;
  const std::optional<WidthSlidePlan> running = widthSlide_;
  widthSlide_ = PlanWidthSlide(r.left, r.right - r.left, home, work.left, work.right);
  // Refused while the previous change still runs: that key press is dropped.
  if (!SlideWindowWidth(*animator, window_, targetWidth, kEaseCubicOut,
                        [this](double value, double) { ApplyWindowWidth(value); }, kDefaultInterval, kWidthDuration))
    widthSlide_ = running;
}

void MainWindow::MoveHelpPanelTo(int targetTop) {
  EaseAnimator* animator = EasingSlot(kHelpPanelSlot);
  HWND panel = control(Control::帮助分组);
  if (!animator || !panel) return;
  animator->Start(RectInParent(panel).top, targetTop, kEaseCubicOut,
                  [this](double value, double) { ApplyHelpTop(value); }, {}, kDefaultInterval,
                  kHelpDuration);
}

void MainWindow::ClearData() {
  // An extraction still fetching (this click came through its event pump) must not refill the
  // harvest afterwards. A save under way keeps its own copy of everything cleared here.
  gate_.NoteCleared();
  SetControlText(control(Control::url), "");
  ListViewDeleteAll(control(Control::images_列表框));
  harvest_ = HarvestState{};
  SetControlText(control(Control::测试), "");
  SetControlText(control(Control::详情数据), "");
  SetControlText(control(Control::文本数据), "");
}

void MainWindow::ShowHelp() { MoveHelpPanelTo(kHelpShownTop); }

void MainWindow::HideHelp() { MoveHelpPanelTo(kHelpHiddenTop); }

void MainWindow::WidenWindow() { ResizeWindowTo(kWideWidth); }

void MainWindow::NarrowWindow() { ResizeWindowTo(kNarrowWidth); }

void MainWindow::ApplyWindowWidth(double value) {
  if (!window_) return;
  RECT r{};
  GetWindowRect(window_, &r);
  const int width = TruncateToInt(value);
  const int left = widthSlide_ ? LeftForWidth(*widthSlide_, width) : r.left;
  SetWindowPos(window_, nullptr, left, r.top, width, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE | (left == r.left ? SWP_NOMOVE : 0u));
  if (!widthSlide_) return;
  movedBySlide_.reset();
  if (left != widthSlide_->home) movedBySlide_ = MovedBySlide{widthSlide_->home, left};
}

void MainWindow::ApplyHelpTop(double value) {
  HWND panel = control(Control::帮助分组);
  if (!panel) return;
  SetWindowPos(panel, nullptr, RectInParent(panel).left, TruncateToInt(value), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
