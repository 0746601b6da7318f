// thread_local objects with a constructor and a destructor, used by many threads at once: threads
// of the caller's and threads of the DLL's own.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<int> constructed{0};
std::atomic<int> destroyed{0};

struct PerThread {
  PerThread() : trail("made") { ++constructed; }
  ~PerThread() { ++destroyed; }
  int count = 0;
  std::string trail;  // heap memory of its own, freed by the destructor
};

thread_local PerThread perThread;

}  // namespace

extern "C" {

__declspec(dllexport) int ThreadLocalBump() {
  perThread.trail += '+';
  return ++perThread.count == static_cast<int>(perThread.trail.size()) - 4 ? perThread.count : -1;
}
__declspec(dllexport) int ThreadLocalConstructed() { return constructed; }
__declspec(dllexport) int ThreadLocalDestroyed() { return destroyed; }

// Runs `threads` threads at once, each bumping its own object `times` times; returns how many saw
// exactly their own count.
__declspec(dllexport) int ThreadLocalRunThreads(int threads, int times) {
  std::atomic<int> right{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&] {
      int last = 0;
      for (int i = 0; i < times; ++i) last = ThreadLocalBump();
      if (last == times) ++right;
    });
  }
  for (std::thread& thread : pool) thread.join();
  return right;
}

}  // extern "C"
