#pragma once
// Drives one integer property from a start to an end value along an easing curve, one frame per
// tick of a thread timer, reporting every value to a callback that applies it.

#include <windows.h>

#include <functional>

class EaseAnimator {
 public:
  using ProgressCallback = std::function<void(double value, double percent)>;
  using CompletionCallback = std::function<void()>;

  EaseAnimator();
  ~EaseAnimator();
  // Owns its timer: a copy would kill the other's.
  EaseAnimator(const EaseAnimator&) = delete;
  EaseAnimator& operator=(const EaseAnimator&) = delete;

  // One frame; the timer calls it.
  void Tick();
  // 0 stops the animation without a final report; another interval replaces the running timer.
  void SetInterval(int ms);
  int GetInterval() const { return intervalMs_; }  // 0 when idle
  UINT_PTR GetTimerId() const { return timerId_; }
  const ProgressCallback& GetProgressCallback() const { return progressCallback_; }
  // Refused (false, nothing changed) while running, with an interval of 0, or when no timer
  // could be made. The timer runs on the calling thread; its messages must be dispatched there.
  bool Start(int start, int end, int type = 1, ProgressCallback progress = {},
             CompletionCallback completion = {}, int interval = 10, int duration = 400);
  double GetCurrentValue() const { return currentValue_; }
  double Ease(int type, double t, int start, int end) const;

  TIMERPROC timerBridge() const { return timerBridge_; }

 private:
  void KillOwnTimer();

  UINT_PTR timerId_ = 0;
  int intervalMs_ = 0;
  TIMERPROC timerBridge_ = nullptr;
  int startValue_ = 0;
  int endValue_ = 0;
  double progress_ = 0;
  int easeType_ = 0;
  int duration_ = 0;
  ProgressCallback progressCallback_;
  CompletionCallback completionCallback_;
  double currentValue_ = 0;
  DWORD timerThread_ = 0;  // the thread that owns timerId_
  unsigned runCount_ = 0;  // tells Tick whether a callback started a new run
};

// The program's 999 animators, made at start-up and released at exit. Slot 1 moves the help
// panel, slot 2 changes the window width.
inline constexpr int kEasingSlotCount = 999;
inline constexpr int kHelpPanelSlot = 1;
inline constexpr int kWindowWidthSlot = 2;

void CreateEasingSlots();   // in slot order; does nothing when they exist
void ReleaseEasingSlots();  // each animator (destructor, then storage), then the table
// Slot 1..999; null outside that range or when the slots do not exist.
EaseAnimator* EasingSlot(int slot);
