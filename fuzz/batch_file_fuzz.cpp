// Batch files and results files: every line of a batch file becomes at most one link, each either
// with a platform or with the reason it has none; an earlier results file's bytes are read or
// refused; the results file written for the batch keeps one line per link and reads back with the
// links it names as saved, those past the cap left for later.
//
// Input: the batch file's bytes, a zero byte, an earlier results file's bytes.
#include <algorithm>
#include <string>
#include <string_view>

#include "batch/batch_file.h"
#include "batch/batch_results.h"
#include "fuzz/fuzz_input.h"
#include "text/url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> parts = fuzz::SplitAtZeros(fuzz::AsText(data, size), 2);
  // Conversion itself is the system's; here UTF-8 stays as it is.
  BatchFile file = ReadBatchText(parts[0], [](std::string_view utf8) { return std::string(utf8); });
  int previous = 0;
  for (const BatchLink& link : file.links) {
    FUZZ_CHECK(link.line > previous);
    previous = link.line;
    FUZZ_CHECK(link.platform.has_value() == link.problem.empty());
    FUZZ_CHECK(link.link.find('\n') == std::string::npos);
  }
  const size_t links = file.links.size();
  const auto same = [](std::string_view utf8) { return std::string(utf8); };
  const ResultsFileText earlier = ResultsFileAsGbk(parts[1], same);
  FUZZ_CHECK(earlier.problem.empty() || earlier.text.empty());
  // A small cap, so that inputs reach past it.
  constexpr size_t kCap = 3;
  BatchProgress progress(std::move(file), ReadBatchResultsText(earlier.text), kCap);
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
  FUZZ_CHECK(counts.Recorded() == counts.links);
  FUZZ_CHECK(static_cast<size_t>(counts.done) == harvested && harvested <= kCap);
  const std::string text = progress.ResultsText();
  const EarlierBatchResults back = ReadBatchResultsText(text);
  size_t complete = 0;
  for (size_t i = 0; i < links; ++i)
    if (progress.link(i).platform) complete += back.complete.contains(LinkIdentity(progress.link(i).link));
  FUZZ_CHECK(complete + static_cast<size_t>(counts.beyondCap + counts.failed) >= links);
  FUZZ_CHECK(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) == back.lines.size() + 1);
  return 0;
}
