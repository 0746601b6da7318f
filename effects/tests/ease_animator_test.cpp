#include "effects/ease_animator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "effects/easing.h"
#include "tests/support/message_pump.h"

namespace {

// Dispatches this thread's messages until `done` holds or the time is up.
// Dispatches for a while, for checks that nothing more happens.
struct Report {
  double value;
  double percent;
};

struct Recorder {
  std::vector<Report> reports;
  int completions = 0;
  EaseAnimator::ProgressCallback Progress() {
    return [this](double value, double percent) { reports.push_back({value, percent}); };
  }
  EaseAnimator::CompletionCallback Completion() {
    return [this] { ++completions; };
  }
};

TEST(EaseAnimatorTest, NewAnimatorIsIdleWithABridge) {
  EaseAnimator a;
  EXPECT_NE(a.timerBridge(), nullptr);
  EXPECT_EQ(a.GetInterval(), 0);
  EXPECT_EQ(a.GetTimerId(), 0u);
  EXPECT_EQ(a.GetCurrentValue(), 0);
  EXPECT_FALSE(a.GetProgressCallback());
  EXPECT_NEAR(a.Ease(kEaseCubicOut, 1.0 / 17, 880, 1220), 936.54, 0.01);
}

TEST(EaseAnimatorTest, FrameCountFollowsTheDuration) {
  struct Row {
    int start, end, type, duration;
    size_t ticks;
  } rows[] = {
      {880, 1220, kEaseCubicOut, 170, 17},
      {688, 8, kEaseCubicOut, 340, 34},
      {0, 100, kEaseQuadIn, 400, 40},
      {5, 5, kEaseCubicOut, 30, 3},
  };
  for (const Row& r : rows) {
    EaseAnimator a;
    Recorder rec;
    ASSERT_TRUE(a.Start(r.start, r.end, r.type, rec.Progress(), rec.Completion(), 10, r.duration));
    EXPECT_EQ(a.GetInterval(), 10);
    EXPECT_NE(a.GetTimerId(), 0u);
    ASSERT_TRUE(PumpUntil([&] { return rec.completions > 0; })) << r.duration;
    ASSERT_EQ(rec.reports.size(), r.ticks) << r.duration;
    // Every frame but the last is the curve at n * 10 / duration; the last is exactly the end.
    double t = 0;
    for (size_t i = 0; i + 1 < r.ticks; ++i) {
      t += 10.0 / r.duration;
      EXPECT_NEAR(rec.reports[i].value, Ease(r.type, t, r.start, r.end), 1e-9) << i;
      EXPECT_NEAR(rec.reports[i].percent, 100.0 * (i + 1) * 10 / r.duration, 1e-6) << i;
    }
    EXPECT_EQ(rec.reports.back().value, r.end);
    EXPECT_NEAR(rec.reports.back().percent, 100, 1e-5);
    EXPECT_EQ(a.GetCurrentValue(), r.end);
    EXPECT_EQ(a.GetInterval(), 0);
    EXPECT_EQ(a.GetTimerId(), 0u);
    EXPECT_EQ(rec.completions, 1);
  }
}

TEST(EaseAnimatorTest, WideningReportsItsFirstAndLastFrames) {
  EaseAnimator a;
  Recorder rec;
  ASSERT_TRUE(a.Start(880, 1220, kEaseCubicOut, rec.Progress(), {}, 10, 170));
  ASSERT_TRUE(PumpUntil([&] { return a.GetInterval() == 0; }));
  ASSERT_EQ(rec.reports.size(), 17u);
  EXPECT_NEAR(rec.reports[0].value, 936.54, 0.01);  // the start value itself is never reported
  EXPECT_NEAR(rec.reports[15].value, 1219.93, 0.01);
  EXPECT_EQ(rec.reports[16].value, 1220);
}

TEST(EaseAnimatorTest, FrameCountDoesNotDependOnTheTimerPeriod) {
  EaseAnimator a;
  Recorder rec;
  ASSERT_TRUE(a.Start(0, 100, kEaseQuadIn, rec.Progress(), rec.Completion(), 40, 100));
  EXPECT_EQ(a.GetInterval(), 40);
  ASSERT_TRUE(PumpUntil([&] { return rec.completions > 0; }));
  EXPECT_EQ(rec.reports.size(), 10u);
}

TEST(EaseAnimatorTest, DefaultsAreTypeOneEveryTenMsFor400) {
  EaseAnimator a;
  Recorder rec;
  ASSERT_TRUE(a.Start(0, 400, 1, rec.Progress()));
  EXPECT_EQ(a.GetInterval(), 10);
  ASSERT_TRUE(PumpUntil([&] { return a.GetInterval() == 0; }));
  ASSERT_EQ(rec.reports.size(), 40u);
  EXPECT_DOUBLE_EQ(rec.reports[19].value, 100);  // quadratic in at t = 0.5
}

TEST(EaseAnimatorTest, StartIsRefusedWhileRunningOrWithoutInterval) {
  EaseAnimator a;
  Recorder rec, other;
  EXPECT_FALSE(a.Start(0, 100, 1, other.Progress(), other.Completion(), 0, 100));
  EXPECT_EQ(a.GetInterval(), 0);
  EXPECT_EQ(a.GetTimerId(), 0u);

  ASSERT_TRUE(a.Start(0, 100, kEaseQuadIn, rec.Progress(), rec.Completion(), 10, 100));
  const UINT_PTR timer = a.GetTimerId();
  ASSERT_TRUE(PumpUntil([&] { return rec.reports.size() >= 3; }));
  EXPECT_FALSE(a.Start(500, 900, kEaseCubicOut, other.Progress(), other.Completion(), 10, 50));
  EXPECT_EQ(a.GetTimerId(), timer);
  ASSERT_TRUE(PumpUntil([&] { return rec.completions > 0; }));
  // The first animation ran on untouched.
  EXPECT_EQ(rec.reports.size(), 10u);
  EXPECT_EQ(rec.reports.back().value, 100);
  EXPECT_DOUBLE_EQ(rec.reports[4].value, 25);
  EXPECT_TRUE(other.reports.empty());
  EXPECT_EQ(other.completions, 0);
}

TEST(EaseAnimatorTest, SetIntervalZeroStopsWithoutFinalReport) {
  EaseAnimator a;
  Recorder rec;
  ASSERT_TRUE(a.Start(0, 100, kEaseQuadIn, rec.Progress(), rec.Completion(), 10, 400));
  ASSERT_TRUE(PumpUntil([&] { return rec.reports.size() >= 3; }));
  const UINT_PTR timer = a.GetTimerId();
  a.SetInterval(0);
  EXPECT_EQ(a.GetInterval(), 0);
  EXPECT_EQ(a.GetTimerId(), 0u);
  const size_t seen = rec.reports.size();
  PumpFor(150);
  EXPECT_EQ(rec.reports.size(), seen);
  EXPECT_EQ(rec.completions, 0);
  EXPECT_LT(rec.reports.back().value, 100);
  // The system timer is gone, not merely ignored.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KillTimer(nullptr, timer));

  // Stopped counts as idle: a new run starts from scratch.
  Recorder again;
  ASSERT_TRUE(a.Start(0, 10, kEaseQuadIn, again.Progress(), again.Completion(), 10, 20));
  ASSERT_TRUE(PumpUntil([&] { return again.completions > 0; }));
  EXPECT_EQ(again.reports.size(), 2u);
}

TEST(EaseAnimatorTest, NewIntervalWhileRunningKeepsTheProgress) {
  EaseAnimator a;
  Recorder rec;
  ASSERT_TRUE(a.Start(0, 100, kEaseQuadIn, rec.Progress(), rec.Completion(), 10, 200));
  ASSERT_TRUE(PumpUntil([&] { return rec.reports.size() >= 5; }));
  const UINT_PTR first = a.GetTimerId();
  a.SetInterval(15);
  EXPECT_EQ(a.GetInterval(), 15);
  EXPECT_NE(a.GetTimerId(), 0u);
  SetLastError(0xdeadbeef);
  if (a.GetTimerId() != first) {
    EXPECT_FALSE(KillTimer(nullptr, first));
  }
  a.SetInterval(15);  // the same interval changes nothing
  ASSERT_TRUE(PumpUntil([&] { return rec.completions > 0; }));
  EXPECT_EQ(rec.reports.size(), 20u);
}

TEST(EaseAnimatorTest, CompletionCallbackCanStartTheNextRun) {
  EaseAnimator a;
  std::vector<double> values;
  int completions = 0;
  bool restarted = false;
  auto progress = [&](double v, double) { values.push_back(v); };
  ASSERT_TRUE(a.Start(
      880, 1220, kEaseCubicOut, progress,
      [&] {
        ++completions;
        EXPECT_EQ(a.GetInterval(), 0);  // already idle here
        restarted = a.Start(1220, 880, kEaseCubicOut, progress, [&] { ++completions; }, 10, 170);
      },
      10, 170));
  ASSERT_TRUE(PumpUntil([&] { return completions == 2; }));
  EXPECT_TRUE(restarted);
  ASSERT_EQ(values.size(), 34u);
  EXPECT_EQ(values[16], 1220);
  EXPECT_LT(values[17], 1220);
  EXPECT_EQ(values.back(), 880);
  PumpFor(100);
  EXPECT_EQ(completions, 2);
  EXPECT_EQ(a.GetInterval(), 0);
}

TEST(EaseAnimatorTest, FinalProgressCallbackCanStartTheNextRun) {
  // The callback that starts the new run is replaced while it runs; it must survive that.
  EaseAnimator a;
  std::vector<double> values;
  int runs = 0;
  std::function<void(double, double)> progress = [&](double v, double percent) {
    values.push_back(v);
    if (percent >= 100 - 1e-5 && ++runs < 3) {
      EXPECT_TRUE(a.Start(0, 50, kEaseQuadIn, progress, {}, 10, 30));
      values.push_back(-1);  // captures still alive after the replacement
    }
  };
  ASSERT_TRUE(a.Start(0, 100, kEaseQuadIn, progress, {}, 10, 20));
  ASSERT_TRUE(PumpUntil([&] { return runs == 3; }));
  const std::vector<double> expected = {25, 100, -1, 50.0 / 9, 50.0 * 4 / 9, 50, -1,
                                        50.0 / 9, 50.0 * 4 / 9, 50};
  ASSERT_EQ(values.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(values[i], expected[i], 1e-9) << i;
  EXPECT_TRUE(a.GetProgressCallback());
}

TEST(EaseAnimatorTest, DestructionKillsTheTimer) {
  Recorder rec;
  auto a = std::make_unique<EaseAnimator>();
  ASSERT_TRUE(a->Start(0, 100, kEaseQuadIn, rec.Progress(), rec.Completion(), 10, 400));
  ASSERT_TRUE(PumpUntil([&] { return rec.reports.size() >= 2; }));
  const UINT_PTR timer = a->GetTimerId();
  ASSERT_NE(timer, 0u);
  a.reset();
  const size_t seen = rec.reports.size();
  PumpFor(150);
  EXPECT_EQ(rec.reports.size(), seen);
  EXPECT_EQ(rec.completions, 0);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KillTimer(nullptr, timer));
}

TEST(EaseAnimatorTest, AnimatorsRunSideBySide) {
  EaseAnimator panel, width;
  Recorder p, w;
  ASSERT_TRUE(panel.Start(688, 8, kEaseCubicOut, p.Progress(), p.Completion(), 10, 340));
  ASSERT_TRUE(width.Start(880, 1220, kEaseCubicOut, w.Progress(), w.Completion(), 10, 170));
  EXPECT_NE(panel.GetTimerId(), width.GetTimerId());
  ASSERT_TRUE(PumpUntil([&] { return p.completions && w.completions; }));
  EXPECT_EQ(p.reports.size(), 34u);
  EXPECT_EQ(w.reports.size(), 17u);
  EXPECT_EQ(p.reports.back().value, 8);
  EXPECT_EQ(w.reports.back().value, 1220);
}

struct WorkerRun {
  EaseAnimator* animator;
  DWORD workerId = 0;
  std::vector<DWORD> tickThreads;
  bool done = false;
};

DWORD WINAPI AnimateOnWorker(void* param) {
  auto* s = static_cast<WorkerRun*>(param);
  s->workerId = GetCurrentThreadId();
  s->animator->Start(0, 10, kEaseQuadIn,
                     [s](double, double) { s->tickThreads.push_back(GetCurrentThreadId()); },
                     [s] { s->done = true; }, 10, 50);
  PumpUntil([s] { return s->done; });
  return 0;
}

TEST(EaseAnimatorTest, TicksRunOnTheStartingThread) {
  EaseAnimator a;
  WorkerRun shared{&a};
  HANDLE thread = CreateThread(nullptr, 0, AnimateOnWorker, &shared, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  // Meanwhile this thread's own message loop must not tick the worker's animator.
  PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 5000);
  EXPECT_EQ(WaitForSingleObject(thread, 1000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_TRUE(shared.done);
  ASSERT_EQ(shared.tickThreads.size(), 5u);
  for (DWORD id : shared.tickThreads) EXPECT_EQ(id, shared.workerId);
}

TEST(EaseAnimatorTest, OpenCases) {
  // No progress callback: the run still completes.
  {
    EaseAnimator a;
    int completions = 0;
    ASSERT_TRUE(a.Start(0, 100, kEaseQuadIn, {}, [&] { ++completions; }, 10, 30));
    ASSERT_TRUE(PumpUntil([&] { return completions == 1; }));
    EXPECT_EQ(a.GetCurrentValue(), 100);
  }
  // A duration of 0 or less ends on the first frame with the end value.
  for (int duration : {0, -50}) {
    EaseAnimator a;
    Recorder rec;
    ASSERT_TRUE(a.Start(3, 7, kEaseQuadIn, rec.Progress(), rec.Completion(), 10, duration));
    ASSERT_TRUE(PumpUntil([&] { return rec.completions == 1; })) << duration;
    ASSERT_EQ(rec.reports.size(), 1u);
    EXPECT_EQ(rec.reports[0].value, 7);
  }
}

TEST(EasingSlotsTest, TableOf999AnimatorsFromSlotOne) {
  EXPECT_EQ(EasingSlot(1), nullptr);
  CreateEasingSlots();
  EaseAnimator* first = EasingSlot(1);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(EasingSlot(kHelpPanelSlot), EasingSlot(kWindowWidthSlot));
  ASSERT_NE(EasingSlot(999), nullptr);
  EXPECT_EQ(EasingSlot(0), nullptr);
  EXPECT_EQ(EasingSlot(1000), nullptr);
  EXPECT_EQ(EasingSlot(-1), nullptr);
  CreateEasingSlots();  // a second call keeps the table
  EXPECT_EQ(EasingSlot(1), first);

  // Releasing with animations running leaves no timer behind.
  Recorder rec;
  ASSERT_TRUE(EasingSlot(2)->Start(880, 1220, kEaseCubicOut, rec.Progress(), {}, 10, 170));
  const UINT_PTR timer = EasingSlot(2)->GetTimerId();
  ReleaseEasingSlots();
  EXPECT_EQ(EasingSlot(1), nullptr);
  PumpFor(100);
  EXPECT_TRUE(rec.reports.empty());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(KillTimer(nullptr, timer));
  ReleaseEasingSlots();  // twice is harmless
}

}  // namespace
