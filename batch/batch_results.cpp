#include "batch/batch_results.h"

#include <charconv>
#include <utility>

#include "text/page_encoding.h"
#include "text/url.h"

namespace {

constexpr char kHeading[] = "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

const char* PlatformName(const std::optional<Platform>& platform) {
  return platform ? PlatformRowOf(*platform).resultsName : "未知";
}

// A field keeps to its column and its line.
void AppendField(std::string& line, std::string_view text) {
  const size_t start = line.size();
  line.append(text);
  for (size_t i = start; i < line.size(); ++i)
    if (line[i] == '\t' || line[i] == '\r' || line[i] == '\n') line[i] = ' ';
}

std::string Field(std::string_view text) {
  std::string out;
  AppendField(out, text);
  return out;
}

void AppendCount(std::string& line, int n) {
  char digits[16];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, n);
  line.append("\t").append(digits, end.ptr);
}

// The results file is rewritten after every item, ten thousand lines and more: each line goes
// straight into the text.
void AppendResultLine(std::string& text, const BatchItemResult& r) {
  AppendField(text, r.link);
  text.append("\t").append(PlatformName(r.platform)).append("\t").append(BatchOutcomeName(r.outcome));
  for (int n : {r.mainPictures, r.skuPictures, r.detailPictures, r.video ? 1 : 0, r.saved, r.notSaved})
    AppendCount(text, n);
  text.append("\t");
  AppendField(text, r.reason);
  text.append("\r\n");
}

std::string_view FieldAt(std::string_view line, int index) {
  for (int i = 0; i < index; ++i) {
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {};
    line.remove_prefix(tab + 1);
  }
  return line.substr(0, line.find('\t'));
}

// A count as the file writes it; anything else (a hand-edited field) counts 0.
int CountAt(std::string_view line, int index) {
  const std::string_view field = FieldAt(line, index);
  if (field.empty() || field.size() > 9 || field.find_first_not_of("0123456789") != std::string_view::npos) return 0;
  int n = 0;
  for (char c : field) n = n * 10 + (c - '0');
  return n;
}

// The counts of an earlier line, which a link skipped as saved keeps.
BatchItemResult EarlierResult(std::string_view line) {
  BatchItemResult r;
  r.outcome = BatchOutcome::Done;
  r.mainPictures = CountAt(line, 3);
  r.skuPictures = CountAt(line, 4);
  r.detailPictures = CountAt(line, 5);
  r.video = CountAt(line, 6) > 0;
  r.saved = CountAt(line, 7);
  r.notSaved = CountAt(line, 8);
  return r;
}

std::string SaveFailureText(const BatchSaveResult& save) {
  std::string text;
  if (save.failed > 0)
    text = std::to_string(save.pictures) + "张图片中有" + std::to_string(save.failed) + "张未能保存";
  if (!save.textSaved) text += (text.empty() ? "" : "，") + std::string("文本文件未能保存");
  if (save.videoFailed) text += (text.empty() ? "" : "，") + std::string("视频未能保存");
  return text;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool IsBeyondCap(const BatchItemResult& r) { return r.outcome == BatchOutcome::Skipped && r.reason == kBeyondCapReason; }

}  // namespace

const char* BatchOutcomeName(BatchOutcome outcome) {
  switch (outcome) {
    case BatchOutcome::Done: return "完成";
    case BatchOutcome::Partial: return "部分失败";
    case BatchOutcome::Failed: return "失败";
    case BatchOutcome::Skipped: return "已跳过";
  }
  return "失败";
}

std::string BatchExtractionText(const ExtractionReport& report) {
  const bool nothing = report.mainPictures + report.skuPictures + report.detailPictures == 0;
  if (nothing && report.trouble == PageTrouble::OtherPlatform)
    return std::string("按钮名与链接不符：这是") + PlatformRowOf(report.linkPlatform).siteName + "的链接";
  return ExtractionStatusText(report);
}

BatchItemResult BatchItemResultOf(const BatchLink& link, const ExtractionReport& report,
                                  const std::optional<BatchSaveResult>& save) {
  BatchItemResult r;
  r.link = link.link;
  r.platform = link.platform;
  r.mainPictures = report.mainPictures;
  r.skuPictures = report.skuPictures;
  r.detailPictures = report.detailPictures;
  r.video = report.video;
  const bool rows = report.mainPictures + report.skuPictures + report.detailPictures > 0;
  if (!rows || !save) {
    r.outcome = BatchOutcome::Failed;
    r.reason = BatchExtractionText(report);
    return r;
  }
  r.saved = save->pictures - save->failed;
  r.notSaved = save->failed;
  const std::string saveFailure = SaveFailureText(*save);
  // Detail pictures the page would not give, and rows a bound held back, are missing from the
  // folder just as unsaved ones: a later batch tries the link again.
  if (report.detail != DetailTrouble::None || report.cutShort) {
    r.outcome = BatchOutcome::Partial;
    r.reason = ExtractionStatusText(report) + (saveFailure.empty() ? "" : "；" + saveFailure);
  } else if (!saveFailure.empty()) {
    r.outcome = BatchOutcome::Partial;
    r.reason = saveFailure;
  } else {
    r.outcome = BatchOutcome::Done;
  }
  return r;
}

ResultsFileText ResultsFileAsGbk(std::string_view bytes, const Utf8ToGbkText& toGbk) {
  ResultsFileText file;
  if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
    const std::optional<std::string> utf8 = Utf16ToUtf8(bytes.substr(2), bytes.starts_with(kUtf16BeMark));
    if (!utf8) {
      file.problem = "UTF-16编码的文本不完整";
      return file;
    }
    file.text = toGbk ? toGbk(*utf8) : *utf8;
  } else {
    // Taken for GBK, broken UTF-8 would turn into other characters.
    const std::string_view marked = bytes.substr(bytes.starts_with(kUtf8Mark) ? kUtf8Mark.size() : bytes.size());
    if (!IsAscii(marked) && !IsUtf8WithMultibyteCharacters(marked)) {
      file.problem = "UTF-8编码的文本有错误";
      return file;
    }
    file.text = TextFileAsGbk(bytes, toGbk);
  }
  // Zero bytes are no GBK or UTF-8 text (UTF-16 without its mark, for one): its lines written back
  // among ours would garble the file.
  if (file.text.find('\0') != std::string::npos) {
    file.text.clear();
    file.problem = "不是GBK、UTF-8或UTF-16编码的文本";
  }
  return file;
}

EarlierBatchResults ReadBatchResultsText(std::string_view gbk) {
  EarlierBatchResults earlier;
  const std::vector<std::string_view> lines = TextLines(gbk);
  earlier.lines.reserve(lines.size());
  for (std::string_view line : lines) {
    if (line.empty() || line == kHeading) continue;
    earlier.lines.emplace_back(line);
    const std::string_view outcome = FieldAt(line, 2);
    const bool skippedAsSaved =
        outcome == BatchOutcomeName(BatchOutcome::Skipped) && FieldAt(line, 9).empty();
    if (outcome == BatchOutcomeName(BatchOutcome::Done) || skippedAsSaved) {
      earlier.complete.insert_or_assign(LinkIdentity(FieldAt(line, 0)), EarlierResult(line));
    }
  }
  return earlier;
}

BatchProgress::BatchProgress(BatchFile file, EarlierBatchResults earlier, size_t cap)
    : links_(std::move(file.links)), results_(links_.size()), earlier_(std::move(earlier)), cap_(cap) {}

// A link is the same item however it was written ("item.jd.com/1.html", "https://item.jd.com/1.html").
const BatchItemResult* BatchProgress::SavedBefore(const std::string& written) const {
  const std::string link = LinkIdentity(written);
  if (auto here = doneHere_.find(link); here != doneHere_.end()) return &here->second;
  if (auto before = earlier_.complete.find(link); before != earlier_.complete.end()) return &before->second;
  return nullptr;
}

std::optional<size_t> BatchProgress::NextToHarvest() {
  for (; next_ < links_.size(); ++next_) {
    const BatchLink& link = links_[next_];
    BatchItemResult r;
    if (!link.platform) {
      r.outcome = BatchOutcome::Failed;
      r.reason = link.problem;
    } else if (const BatchItemResult* saved = SavedBefore(link.link)) {
      r = *saved;
      r.outcome = BatchOutcome::Skipped;
      r.reason.clear();
    } else if (taken_ >= cap_) {
      r.outcome = BatchOutcome::Skipped;
      r.reason = kBeyondCapReason;
    } else {
      ++taken_;
      return next_++;
    }
    r.link = link.link;
    r.platform = link.platform;
    recorded_.insert(LinkIdentity(Field(r.link)));
    results_[next_] = std::move(r);
  }
  return std::nullopt;
}

void BatchProgress::Record(size_t index, BatchItemResult result) {
  if (index >= results_.size()) return;
  // The same link further down the file is then skipped.
  if (result.outcome == BatchOutcome::Done) doneHere_.insert_or_assign(LinkIdentity(result.link), result);
  recorded_.insert(LinkIdentity(Field(result.link)));
  results_[index] = std::move(result);
}

void BatchProgress::TakeEarlier(EarlierBatchResults earlier) { earlier_ = std::move(earlier); }

std::string BatchProgress::ResultsText() const {
  std::string text = std::string(kHeading) + "\r\n";
  size_t bytes = text.size();
  for (const std::string& line : earlier_.lines) bytes += line.size() + 2;
  text.reserve(bytes + recorded_.size() * 128);
  for (const std::optional<BatchItemResult>& r : results_)
    if (r) AppendResultLine(text, *r);
  for (const std::string& line : earlier_.lines)
    if (!recorded_.contains(LinkIdentity(FieldAt(line, 0)))) text.append(line).append("\r\n");
  return text;
}

BatchCounts BatchProgress::Counts() const {
  BatchCounts c;
  c.links = static_cast<int>(links_.size());
  for (const std::optional<BatchItemResult>& r : results_) {
    if (!r) continue;
    switch (r->outcome) {
      case BatchOutcome::Done: ++c.done; break;
      case BatchOutcome::Partial: ++c.partial; break;
      case BatchOutcome::Failed: ++c.failed; break;
      case BatchOutcome::Skipped: ++(IsBeyondCap(*r) ? c.beyondCap : c.skipped); break;
    }
  }
  return c;
}

std::string BatchStatusText(size_t index, size_t count, const std::string& message) {
  return "批量 " + std::to_string(index + 1) + "/" + std::to_string(count) + "：" + message;
}

std::string BatchSummaryQuestion(const BatchCounts& c, bool resultsWritten) {
  std::string text = "批量完成：共" + std::to_string(c.links) + "个链接，完成" + std::to_string(c.done) + "个，部分失败" +
                     std::to_string(c.partial) + "个，失败" + std::to_string(c.failed) + "个，跳过" +
                     std::to_string(c.skipped) + "个，";
  if (c.beyondCap > 0)
    text += std::to_string(c.beyondCap) + "个链接" + kBeyondCapReason + "（" + std::to_string(kMaxBatchLinks) +
            "个），再次批量时处理，";
  if (!resultsWritten) text += std::string(kBatchResultsFileName) + "未能写入，";
  return text + "是否打开文件夹查看？";
}
