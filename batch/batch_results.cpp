#include "batch/batch_results.h"

#include <utility>

namespace {

constexpr char kHeading[] = "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因";

const char* PlatformName(const std::optional<Platform>& platform) {
  if (!platform) return "未知";
  switch (*platform) {
    case Platform::Taobao: return "淘宝";
    case Platform::Tmall: return "天猫";
    case Platform::Jd: return "京东";
    case Platform::Alibaba: return "阿里";
  }
  return "未知";
}

// A field keeps to its column and its line.
std::string Field(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return out;
}

std::string ResultLine(const BatchItemResult& r) {
  std::string line = Field(r.link);
  for (const std::string& f :
       {std::string(PlatformName(r.platform)), std::string(BatchOutcomeName(r.outcome)), std::to_string(r.mainPictures),
        std::to_string(r.skuPictures), std::to_string(r.detailPictures), std::to_string(r.video ? 1 : 0),
        std::to_string(r.saved), std::to_string(r.notSaved), Field(r.reason)})
    line += "\t" + f;
  return line;
}

std::string_view FieldAt(std::string_view line, int index) {
  for (int i = 0; i < index; ++i) {
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {};
    line.remove_prefix(tab + 1);
  }
  return line.substr(0, line.find('\t'));
}

std::string SaveFailureText(const BatchSaveResult& save) {
  std::string text;
  if (save.failed > 0)
    text = std::to_string(save.pictures) + "张图片中有" + std::to_string(save.failed) + "张未能保存";
  if (!save.textSaved) text += (text.empty() ? "" : "，") + std::string("文本文件未能保存");
  if (save.videoFailed) text += (text.empty() ? "" : "，") + std::string("视频未能保存");
  return text;
}

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
    r.reason = ExtractionStatusText(report);
    return r;
  }
  r.saved = save->pictures - save->failed;
  r.notSaved = save->failed;
  const std::string saveFailure = SaveFailureText(*save);
  // Detail pictures the page would not give are missing from the folder just as unsaved ones.
  if (report.detail != DetailTrouble::None) {
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

EarlierBatchResults ReadBatchResultsText(std::string_view gbk) {
  EarlierBatchResults earlier;
  for (std::string_view line : TextLines(gbk)) {
    if (line.empty() || line == kHeading) continue;
    earlier.lines.emplace_back(line);
    const std::string_view outcome = FieldAt(line, 2);
    if (outcome == BatchOutcomeName(BatchOutcome::Done) || outcome == BatchOutcomeName(BatchOutcome::Skipped))
      earlier.completeLinks.emplace(FieldAt(line, 0));
  }
  return earlier;
}

BatchProgress::BatchProgress(BatchFile file, EarlierBatchResults earlier)
    : links_(std::move(file.links)), results_(links_.size()), earlier_(std::move(earlier)) {}

std::optional<size_t> BatchProgress::NextToHarvest() {
  for (; next_ < links_.size(); ++next_) {
    const BatchLink& link = links_[next_];
    BatchItemResult r;
    r.link = link.link;
    r.platform = link.platform;
    if (!link.platform) {
      r.outcome = BatchOutcome::Failed;
      r.reason = link.problem;
    } else if (earlier_.completeLinks.contains(link.link)) {
      r.outcome = BatchOutcome::Skipped;
    } else {
      return next_++;
    }
    results_[next_] = std::move(r);
  }
  return std::nullopt;
}

void BatchProgress::Record(size_t index, BatchItemResult result) {
  if (index >= results_.size()) return;
  // The same link further down the file is then skipped.
  if (result.outcome == BatchOutcome::Done) earlier_.completeLinks.insert(result.link);
  results_[index] = std::move(result);
}

std::string BatchProgress::ResultsText() const {
  std::string text = std::string(kHeading) + "\r\n";
  std::set<std::string> recorded;
  for (const std::optional<BatchItemResult>& r : results_) {
    if (!r) continue;
    text += ResultLine(*r) + "\r\n";
    recorded.insert(Field(r->link));
  }
  for (const std::string& line : earlier_.lines)
    if (!recorded.contains(std::string(FieldAt(line, 0)))) text += line + "\r\n";
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
      case BatchOutcome::Skipped: ++c.skipped; break;
    }
  }
  return c;
}

std::string BatchStatusText(size_t index, size_t count, const std::string& message) {
  return "批量 " + std::to_string(index + 1) + "/" + std::to_string(count) + "：" + message;
}

std::string BatchSummaryQuestion(const BatchCounts& c) {
  return "批量完成：共" + std::to_string(c.links) + "个链接，完成" + std::to_string(c.done) + "个，部分失败" +
         std::to_string(c.partial) + "个，失败" + std::to_string(c.failed) + "个，跳过" + std::to_string(c.skipped) +
         "个，是否打开文件夹查看？";
}
