// A worker owns its work: what the work captured outlives the starter's hold on it and goes with
// the work's end, and nothing the work throws leaves its thread.
#include "runtime/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace {

// What a starter shares with its worker.
struct Shared {
  UniqueHandle go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> value{0};
};

struct Way {
  const char* name;
  bool pooled;
  size_t stackReserve;
};
constexpr Way kWays[] = {{"own thread", false, 0}, {"reserved stack", false, 256 * 1024}, {"pool", true, 0}};

bool Start(const Way& way, std::function<void()> work) {
  return way.pooled ? QueueWorker(std::move(work)) : static_cast<bool>(StartWorker(std::move(work), way.stackReserve));
}

// Polls with a bound instead of sleeping long.
template <typename Condition>
bool Eventually(Condition condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    Sleep(10);
  }
  return condition();
}

TEST(WorkerTest, TheWorkKeepsWhatItCapturedUntilItEnds) {
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.name);
    UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto shared = std::make_shared<Shared>();
    const std::weak_ptr<Shared> watch = shared;
    const HANDLE go = shared->go.get();
    const HANDLE finished = done.get();
    ASSERT_TRUE(Start(way, [shared, finished] {
      WaitForSingleObject(shared->go.get(), 5000);
      shared->value = 42;
      SetEvent(finished);
    }));
    // The starter lets go before the work has even begun: the work still has it.
    shared.reset();
    EXPECT_FALSE(watch.expired());
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(finished, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(Eventually([&] { return watch.expired(); })) << "the worker let go of its work";
  }
}

TEST(WorkerTest, WhatTheWorkThrowsEndsOnlyTheWork) {
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.name);
    auto shared = std::make_shared<Shared>();
    const std::weak_ptr<Shared> watch = shared;
    ASSERT_TRUE(Start(way, [shared] {
      shared->value = 1;
      throw std::runtime_error("failed");
    }));
    shared.reset();
    EXPECT_TRUE(Eventually([&] { return watch.expired(); }));
    // The process, and the pool, go on.
    std::atomic<bool> ran{false};
    ASSERT_TRUE(Start(way, [&ran] { ran = true; }));
    EXPECT_TRUE(Eventually([&] { return ran.load(); }));
  }
}

TEST(WorkerTest, TheHandleTellsTheWorksEnd) {
  UniqueHandle thread = StartWorker([] { Sleep(50); });
  ASSERT_TRUE(thread);
  EXPECT_EQ(WaitForSingleObject(thread.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(thread.get(), 5000), WAIT_OBJECT_0);
}

}  // namespace
