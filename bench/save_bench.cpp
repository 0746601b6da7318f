// Saves N pictures from a loopback server with the saver's own routine and prints the time.
//   bench_save.exe <server base URL> <count> <output folder, Windows path ending with "\">
// The status line's time probe goes to the same server's root page, so every picture costs its
// download plus two HEAD requests, as in the program, without waiting on a public site.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "runtime/message_box.h"
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
  SetMessageBoxHandler([](const MessageBoxRequest&) { return static_cast<int>(kPressedNo); });

  SaveJob job;
  job.itemId = "bench";
  job.outputFolder = root + job.itemId + "\\";
  job.text = "title\r\n";
  for (int i = 1; i <= count; ++i)
    job.rows.push_back({base + "/pic/" + std::to_string(i) + ".jpg", "淘宝详情图片" + std::to_string(i)});
  EnsureFolder(job.outputFolder);

  const std::string probe = base + "/";
  SaveEffects withStatus;
  withStatus.showStatus = [&](const std::string& message) { ShowStatus(message, probe, [](const std::string&) {}); };
  SaveOutcome outcome;
  const double full = SecondsOf([&] { outcome = SaveResults(job, withStatus); });
  std::printf("saver: %d pictures in %.3f s (%d failed), with %d status time probes\n", count, full,
              outcome.failed, 2 * count + 1);
  const double bare = SecondsOf([&] { outcome = SaveResults(job, SaveEffects{}); });
  std::printf("saver without the status line: %.3f s (%d failed)\n", bare, outcome.failed);
  std::printf("RESULT %.6f %.6f %d\n", full, bare, outcome.failed);
  return outcome.failed == 0 ? 0 : 1;
}
