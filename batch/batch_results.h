#pragma once
// What a batch did with each of its links, the results file written after every item, and the
// resume from an earlier results file in the same output root. Neutral: no Windows header.
//
// The results file is GBK with CRLF line ends: a heading line, then one tab-separated line per
// link: the link, the platform, the outcome, the rows found as main, SKU and detail pictures and
// videos, the pictures saved and not saved, and the reason of a failure.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "batch/batch_file.h"
#include "extract/extraction_report.h"

inline constexpr char kBatchResultsFileName[] = "批量结果.txt";
// The reason of a link the batch left for a later one: it came past the links one batch takes.
inline constexpr char kBeyondCapReason[] = "超过单次上限";

enum class BatchOutcome {
  Done,     // 完成: every picture, the text file and the video saved
  Partial,  // 部分失败: the item was read, something of it was not saved or not read whole
  Failed,   // 失败: the page could not be read or gave no rows, or the line is no link
  Skipped,  // 已跳过: saved completely before (without a reason), or left for later (with one)
};
const char* BatchOutcomeName(BatchOutcome outcome);

// What a save of one item did, as far as the batch cares.
struct BatchSaveResult {
  int pictures = 0;
  int failed = 0;
  bool textSaved = true;
  bool videoFailed = false;
};

struct BatchItemResult {
  std::string link;
  std::optional<Platform> platform;
  BatchOutcome outcome = BatchOutcome::Failed;
  int mainPictures = 0;
  int skuPictures = 0;
  int detailPictures = 0;
  bool video = false;
  int saved = 0;
  int notSaved = 0;
  std::string reason;  // GBK, in the status line's words; empty when nothing failed
};

// What the batch says of an extraction, in the status line and as a failure's reason: the status
// line's text, but a link of another platform's site (which only a line's button name can send to
// a button) is named as the line's mistake: "按钮名与链接不符：这是淘宝的链接".
std::string BatchExtractionText(const ExtractionReport& report);

// The result of a link whose extraction gave `report` and, when it was saved, `save`. An item with
// no rows fails; one whose detail pictures could not be read, whose page was read only in part, or
// whose save left something out, is partly failed.
BatchItemResult BatchItemResultOf(const BatchLink& link, const ExtractionReport& report,
                                  const std::optional<BatchSaveResult>& save);

// The text of a results file as the batch reads it: GBK as it stands, UTF-8 and UTF-16 (as an
// editor may have saved it) converted to GBK. A file that cannot be taken without losing or
// garbling lines gives a problem instead (GBK, for a message naming the file).
struct ResultsFileText {
  std::string text;
  std::string problem;
};
ResultsFileText ResultsFileAsGbk(std::string_view bytes, const Utf8ToGbkText& toGbk);

// An earlier results file: the links it names as saved completely (完成, or 已跳过 without a
// reason) with the counts of their lines, and its lines.
struct EarlierBatchResults {
  std::map<std::string, BatchItemResult> complete;
  std::vector<std::string> lines;  // the lines after the heading, without line ends
};
EarlierBatchResults ReadBatchResultsText(std::string_view gbk);

struct BatchCounts {
  int links = 0, done = 0, partial = 0, failed = 0, skipped = 0;
  int beyondCap = 0;  // left for a later batch (recorded 已跳过 with kBeyondCapReason)
  int Recorded() const { return done + partial + failed + skipped + beyondCap; }
};

// One batch under way: which link comes next and what became of those before.
class BatchProgress {
 public:
  // At most `cap` links are harvested; a link saved before does not count.
  BatchProgress(BatchFile file, EarlierBatchResults earlier, size_t cap = kMaxBatchLinks);

  size_t size() const { return links_.size(); }
  // The next link to harvest (its index), recording on the way the lines that are no link as
  // failed, the links saved completely before as skipped (with their earlier counts), and the
  // links past the cap as left for later; empty once every link has a result.
  std::optional<size_t> NextToHarvest();
  const BatchLink& link(size_t index) const { return links_[index]; }
  void Record(size_t index, BatchItemResult result);
  // The results file as it stands now, which another copy of the program may have written since:
  // its lines stand for the links this batch has no result for, and the links it names as saved
  // are skipped when this batch comes to them.
  void TakeEarlier(EarlierBatchResults earlier);

  // The results file: this batch's results in file order, then the earlier file's lines of links
  // this batch has no result for yet (so that a batch stopped early forgets nothing).
  std::string ResultsText() const;
  BatchCounts Counts() const;

 private:
  const BatchItemResult* SavedBefore(const std::string& link) const;

  std::vector<BatchLink> links_;
  std::vector<std::optional<BatchItemResult>> results_;
  EarlierBatchResults earlier_;
  std::map<std::string, BatchItemResult> doneHere_;  // links this batch saved completely
  // The links this batch has a result for, as their lines write them.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  std::unordered_set<std::string, TextHash, std::equal_to<>> recorded_;
  size_t cap_;
  size_t taken_ = 0;
  size_t next_ = 0;
};

// "批量 3/20：" + message: where the batch stands, over a status line message.
std::string BatchStatusText(size_t index, size_t count, const std::string& message);

// The question at the end of a batch, naming the links left for later and a results file that
// could not be written.
std::string BatchSummaryQuestion(const BatchCounts& counts, bool resultsWritten = true);
