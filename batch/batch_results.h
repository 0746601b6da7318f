#pragma once
// What a batch did with each of its links, the results file written after every item, and the
// resume from an earlier results file in the same output root. Neutral: no Windows header.
//
// The results file is GBK with CRLF line ends: a heading line, then one tab-separated line per
// link: the link, the platform, the outcome, the rows found as main, SKU and detail pictures and
// videos, the pictures saved and not saved, and the reason of a failure.

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_file.h"
#include "extract/extraction_report.h"

inline constexpr char kBatchResultsFileName[] = "批量结果.txt";

enum class BatchOutcome {
  Done,     // 完成: every picture, the text file and the video saved
  Partial,  // 部分失败: the item was read, something of it was not saved
  Failed,   // 失败: the page could not be read or gave no rows, or the line is no link
  Skipped,  // 已跳过: an earlier batch (or this one, further up) saved the link completely
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

// The result of a link whose extraction gave `report` and, when it was saved, `save`. An item with
// no rows fails; one whose detail pictures could not be read, or whose save left something out, is
// partly failed.
BatchItemResult BatchItemResultOf(const BatchLink& link, const ExtractionReport& report,
                                  const std::optional<BatchSaveResult>& save);

// The links an earlier results file names as saved completely (完成 or 已跳过), and its lines.
struct EarlierBatchResults {
  std::set<std::string> completeLinks;
  std::vector<std::string> lines;  // the lines after the heading, without line ends
};
EarlierBatchResults ReadBatchResultsText(std::string_view gbk);

struct BatchCounts {
  int links = 0, done = 0, partial = 0, failed = 0, skipped = 0;
};

// One batch under way: which link comes next and what became of those before.
class BatchProgress {
 public:
  BatchProgress(BatchFile file, EarlierBatchResults earlier);

  size_t size() const { return links_.size(); }
  // The next link to harvest (its index), recording on the way the lines that are no link as
  // failed and the links saved completely before as skipped; empty once every link has a result.
  std::optional<size_t> NextToHarvest();
  const BatchLink& link(size_t index) const { return links_[index]; }
  void Record(size_t index, BatchItemResult result);

  // The results file: this batch's results in file order, then the earlier file's lines of links
  // this batch has no result for yet (so that a batch stopped early forgets nothing).
  std::string ResultsText() const;
  BatchCounts Counts() const;

 private:
  std::vector<BatchLink> links_;
  std::vector<std::optional<BatchItemResult>> results_;
  EarlierBatchResults earlier_;
  size_t next_ = 0;
};

// "批量 3/20：" + message: where the batch stands, over a status line message.
std::string BatchStatusText(size_t index, size_t count, const std::string& message);

// The question at the end of a batch.
std::string BatchSummaryQuestion(const BatchCounts& counts);
