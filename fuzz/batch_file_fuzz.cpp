// Batch files and results files: every line of a batch file becomes at most one link, each either
// with a platform or with the reason it has none; the results file written for it keeps one line
// per link and reads back with the links it names as saved.
//
// Input: the batch file's bytes, a zero byte, an earlier results file's text.
#include <algorithm>
#include <string>
#include <string_view>

#include "batch/batch_file.h"
#include "batch/batch_results.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> parts = fuzz::SplitAtZeros(fuzz::AsText(data, size), 2);
  // Conversion itself is the system's; here UTF-8 stays as it is.
  BatchFile file = ReadBatchText(parts[0], [](std::string_view utf8) { return std::string(utf8); });
  FUZZ_CHECK(file.links.size() <= kMaxBatchLinks);
  int previous = 0;
  for (const BatchLink& link : file.links) {
    FUZZ_CHECK(link.line > previous);
    previous = link.line;
    FUZZ_CHECK(link.platform.has_value() == link.problem.empty());
    FUZZ_CHECK(link.link.find('\n') == std::string::npos);
  }
  const size_t links = file.links.size();
  BatchProgress progress(std::move(file), ReadBatchResultsText(parts[1]));
  size_t harvested = 0;
  while (const std::optional<size_t> next = progress.NextToHarvest()) {
    FUZZ_CHECK(*next < links && progress.link(*next).platform);
    BatchItemResult done;
    done.link = progress.link(*next).link;
    done.outcome = BatchOutcome::Done;
    progress.Record(*next, done);
    ++harvested;
  }
  const BatchCounts counts = progress.Counts();
  FUZZ_CHECK(counts.done + counts.partial + counts.failed + counts.skipped == counts.links);
  FUZZ_CHECK(static_cast<size_t>(counts.done) == harvested);
  const std::string text = progress.ResultsText();
  const EarlierBatchResults back = ReadBatchResultsText(text);
  for (size_t i = 0; i < links; ++i)
    if (progress.link(i).platform) FUZZ_CHECK(back.completeLinks.contains(progress.link(i).link));
  FUZZ_CHECK(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) == back.lines.size() + 1);
  return 0;
}
