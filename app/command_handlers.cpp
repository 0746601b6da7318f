#include "app/command_handlers.h"

#include <windows.h>

#include <climits>
#include <cmath>
#include <string>

#include "app/extract_commands.h"
#include "app/main_window.h"
#include "effects/ease_animator.h"
#include "effects/easing.h"
#include "extract/item_harvest.h"
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

// A control's rectangle in its parent's client coordinates, where SetWindowPos places it.
RECT RectInParent(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int CurrentWindowWidth() {
  RECT r{};
  GetWindowRect(MainWindowHandle(), &r);
  return r.right - r.left;
}

void ResizeWindowTo(int targetWidth) {
  EaseAnimator* animator = EasingSlot(kWindowWidthSlot);
  if (!animator || !MainWindowHandle()) return;
  // Refused while the previous change still runs: that key press is dropped.
  animator->Start(CurrentWindowWidth(), targetWidth, kEaseCubicOut,
                  [](double value, double) { ApplyWindowWidth(value); }, {}, kDefaultInterval,
                  kWidthDuration);
}

void MoveHelpPanelTo(int targetTop) {
  EaseAnimator* animator = EasingSlot(kHelpPanelSlot);
  HWND panel = ControlHandle(Control::帮助分组);
  if (!animator || !panel) return;
  animator->Start(RectInParent(panel).top, targetTop, kEaseCubicOut,
                  [](double value, double) { ApplyHelpTop(value); }, {}, kDefaultInterval,
                  kHelpDuration);
}

}  // namespace

void ClearData() {
  // An extraction still fetching (this click came through its event pump) must not refill the
  // harvest afterwards.
  NoteHarvestCleared();
  SetControlText(ControlHandle(Control::url), "");
  ListViewDeleteAll(ControlHandle(Control::images_列表框));
  SetItemId("");
  SetVideoUrl("");
  SetOutputFolder("");
  SetControlText(ControlHandle(Control::测试), "");
  SetControlText(ControlHandle(Control::详情数据), "");
  SetControlText(ControlHandle(Control::文本数据), "");
}

void ShowHelp() { MoveHelpPanelTo(kHelpShownTop); }

void HideHelp() { MoveHelpPanelTo(kHelpHiddenTop); }

void OnHotKey(int hotKeyId, int) {
  // A registration that failed left its identifier at 0; no key may match that.
  if (hotKeyId == 0) return;
  if (hotKeyId == ExpandHotKeyId()) ResizeWindowTo(kWideWidth);
  if (hotKeyId == CollapseHotKeyId()) ResizeWindowTo(kNarrowWidth);
}

void ApplyWindowWidth(double value) {
  HWND window = MainWindowHandle();
  if (!window) return;
  RECT r{};
  GetWindowRect(window, &r);
  SetWindowPos(window, nullptr, 0, 0, TruncateToInt(value), r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ApplyHelpTop(double value) {
  HWND panel = ControlHandle(Control::帮助分组);
  if (!panel) return;
  SetWindowPos(panel, nullptr, RectInParent(panel).left, TruncateToInt(value), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
