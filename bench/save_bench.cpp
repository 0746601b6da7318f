// Saves N pictures from a loopback server with the saver's own routine and prints the time.
//   bench_save.exe <server base URL> <count> <output folder, Windows path ending with "\">
// The status line's clock probes the same server's root page once, as the program does at the start
// of every save, without waiting on a public site; every picture's two status lines are stamped.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "save/network_time.h"
#include "save/saver.h"

namespace {

double SecondsOf(const std::function<void()>& work) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  work();
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_save <base url> <count> <output folder>\n");
    return 2;
  }
  const std::string base = WideToGbk(argv[1]);
  const int count = _wtoi(argv[2]);
  const std::string root = WideToGbk(argv[3]);

  SaveJob job;
  job.itemId = "bench";
  job.outputFolder = root + job.itemId + "\\";
  job.text = "title\r\n";
  // Every run asks for addresses of its own: WinInet keeps a copy of each body in its cache, and a
  // new entry costs more than replacing one, so no run may find the entries of another.
  const auto jobFor = [&](const std::string& run) {
    SaveJob own = job;
    for (int i = 1; i <= count; ++i)
      own.rows.push_back({base + "/pic/" + std::to_string(i) + ".jpg?run=" + run, "淘宝详情图片" + std::to_string(i)});
    return own;
  };
  EnsureFolder(job.outputFolder);

  // The final question is answered No (no ask given).
  SaveEffects withStatus;
  SaveOutcome outcome;
  const double full = SecondsOf([&] {
    const StatusClock clock = StatusClock::Probing(base + "/");
    withStatus.showStatus = [clock](const std::string& message) { (void)clock.Stamp(message); };
    outcome = SaveResults(jobFor("saver"), withStatus);
  });
  std::printf("saver: %d pictures in %.3f s (%d failed), %d status lines stamped from one time probe\n", count,
              full, outcome.failed, 2 * count + 1);
  const double bare = SecondsOf([&] { outcome = SaveResults(jobFor("bare"), SaveEffects{}); });
  std::printf("saver without the status line: %.3f s (%d failed)\n", bare, outcome.failed);
  std::printf("RESULT %.6f %.6f %d\n", full, bare, outcome.failed);
  return outcome.failed == 0 ? 0 : 1;
}
