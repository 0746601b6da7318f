#include "effects/ease_animator.h"

#include <map>
#include <mutex>
#include <utility>

#include "effects/easing.h"

namespace {

// Thread timers carry no user data, so the one timer procedure finds its animator by the timer's
// identifier (with the owning thread, as identifiers of different threads may coincide). This
// keeps executable memory out of the picture: no code is generated per animator.
class TimerRegistry {
 public:
  void Add(DWORD thread, UINT_PTR timer, EaseAnimator* animator) {
    std::lock_guard<std::mutex> lock(mutex_);
    animators_[{thread, timer}] = animator;
  }
  void Remove(DWORD thread, UINT_PTR timer) {
    std::lock_guard<std::mutex> lock(mutex_);
    animators_.erase({thread, timer});
  }
  EaseAnimator* Find(DWORD thread, UINT_PTR timer) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = animators_.find({thread, timer});
    return it == animators_.end() ? nullptr : it->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::pair<DWORD, UINT_PTR>, EaseAnimator*> animators_;
};

TimerRegistry& Registry() {
  // Never destroyed: an animator released late at exit must still find it.
  static TimerRegistry* registry = new TimerRegistry;
  return *registry;
}

void CALLBACK TickAnimatorOfTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  // A WM_TIMER already taken from the queue may arrive after its timer was killed; the registry
  // no longer knows it then.
  EaseAnimator* animator = Registry().Find(GetCurrentThreadId(), timer);
  if (!animator) return;
  try {
    animator->Tick();
  } catch (...) {
    // Nothing may unwind into the message dispatcher.
  }
}

constexpr double kTolerance = 1e-7;

}  // namespace

EaseAnimator::EaseAnimator() : timerBridge_(&TickAnimatorOfTimer) {}

EaseAnimator::~EaseAnimator() { KillOwnTimer(); }

void EaseAnimator::KillOwnTimer() {
  if (timerId_ == 0) return;
  Registry().Remove(timerThread_, timerId_);
  KillTimer(nullptr, timerId_);
  timerId_ = 0;
}

void EaseAnimator::Tick() {
  // Progress counts ticks, not elapsed time: a slow timer stretches the animation instead of
  // skipping frames. A duration of 0 or less ends on the first tick.
  progress_ += duration_ > 0 ? 10.0 / duration_ : 1.0;
  const bool last = progress_ - 1 >= -kTolerance;
  if (last) {
    SetInterval(0);  // idle before the callbacks run, so they may start the next animation
    currentValue_ = endValue_;
  } else {
    currentValue_ = ::Ease(easeType_, progress_, startValue_, endValue_);
  }
  // A callback that starts a new run replaces the stored callbacks; the running ones are held
  // here until they return, and only put back when no new run took their place.
  const unsigned run = runCount_;
  const double value = currentValue_;
  const double percent = progress_ * 100;
  ProgressCallback progress = std::move(progressCallback_);
  CompletionCallback completion;
  if (last) completion = std::move(completionCallback_);
  if (progress) progress(value, percent);
  if (completion) completion();
  if (runCount_ != run) return;
  progressCallback_ = std::move(progress);
  if (last) completionCallback_ = std::move(completion);
}

void EaseAnimator::SetInterval(int ms) {
  if (ms == intervalMs_) return;
  KillOwnTimer();
  if (!timerBridge_) return;
  if (ms != 0) {
    timerId_ = SetTimer(nullptr, 0, static_cast<UINT>(ms), timerBridge_);
    if (timerId_ == 0) {
      // No timer, no ticks: count as idle so a later Start can try again.
      intervalMs_ = 0;
      return;
    }
    timerThread_ = GetCurrentThreadId();
    Registry().Add(timerThread_, timerId_, this);
  }
  intervalMs_ = ms;
}

bool EaseAnimator::Start(int start, int end, int type, ProgressCallback progress,
                         CompletionCallback completion, int interval, int duration) {
  if (interval == 0 || intervalMs_ != 0) return false;
  ++runCount_;
  progress_ = 0;
  currentValue_ = 0;
  startValue_ = start;
  endValue_ = end;
  easeType_ = type;
  duration_ = duration;
  progressCallback_ = std::move(progress);
  completionCallback_ = std::move(completion);
  SetInterval(interval);
  return intervalMs_ != 0;
}

double EaseAnimator::Ease(int type, double t, int start, int end) const {
  return ::Ease(type, t, start, end);
}

namespace {
EaseAnimator** g_easingSlots = nullptr;
}

void CreateEasingSlots() {
  if (g_easingSlots) return;
  g_easingSlots = new EaseAnimator*[kEasingSlotCount];
  for (int i = 0; i < kEasingSlotCount; ++i) g_easingSlots[i] = new EaseAnimator;
}

void ReleaseEasingSlots() {
  if (!g_easingSlots) return;
  for (int i = 0; i < kEasingSlotCount; ++i) delete g_easingSlots[i];
  delete[] g_easingSlots;
  g_easingSlots = nullptr;
}

EaseAnimator* EasingSlot(int slot) {
  if (!g_easingSlots || slot < 1 || slot > kEasingSlotCount) return nullptr;
  return g_easingSlots[slot - 1];
}
