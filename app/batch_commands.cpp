// A batch of links: each link in turn goes through what its platform's button and 下载数据 do, on
// the window's thread, one small step at a time. A step posts the next as a task; an item's save
// runs on the save's worker, whose end (the final question, answered No for the batch) posts the
// step that records it. The window keeps answering throughout, and a close stops the save under
// way and drops the steps still to come.
#include <memory>
#include <string>
#include <utility>

#include "app/main_window.h"
#include "batch/batch_file.h"
#include "http/page_charset.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/folders.h"
#include "runtime/ui_task.h"

namespace {

// An earlier results file is small; one past this is not ours.
constexpr size_t kMaxResultsFileBytes = 16 << 20;
// The worker returns at once after the final question; this bounds the wait for its outcome.
constexpr unsigned kSaveEndWaitMs = 2000;

// What the batch makes of a save's outcome.
BatchSaveResult BatchSaveResultOf(const SaveOutcome& outcome) {
  BatchSaveResult result;
  result.pictures = outcome.pictures;
  result.failed = outcome.failed;
  result.textSaved = outcome.textSaved;
  result.videoFailed = outcome.video == VideoSaved::Failed;
  return result;
}

// The harvest of the platform's button.
ExtractionReport (*HarvestFor(Platform platform))(const ItemSource&, HarvestSink&) {
  switch (platform) {
    case Platform::Taobao: return HarvestTaobaoItem;
    case Platform::Tmall: return HarvestTmallItem;
    case Platform::Jd: return HarvestJdItem;
    case Platform::Alibaba: return HarvestAlibabaItem;
  }
  return HarvestTaobaoItem;
}

}  // namespace

void MainWindow::StartBatch(std::string_view fileBytes) {
  if (batch_ || gate_.Running() || SaveRunning()) {
    ShowStatus("正在读取或保存，请完成后再开始批量");
    return;
  }
  BatchFile file = ReadBatchText(fileBytes, Utf8PageText);
  if (!file.problem.empty() || file.links.empty()) {
    ShowStatus(file.problem.empty() ? "批量文件里没有链接" : file.problem);
    return;
  }
  const int leftOut = file.leftOut;
  std::string earlier;
  ReadSmallFile(GbkToWide(outputRoot_ + kBatchResultsFileName), kMaxResultsFileBytes, earlier);
  batch_ = std::make_unique<BatchRun>(
      BatchRun{BatchProgress(std::move(file), ReadBatchResultsText(TextFileAsGbk(earlier, Utf8PageText)))});
  if (leftOut > 0) ShowStatus("批量文件超过" + std::to_string(kMaxBatchLinks) + "个链接，只取前面的");
  PostUiTask(window_, [this] { HarvestNextBatchLink(); });
}

void MainWindow::HarvestNextBatchLink() {
  if (!batch_ || !window_) return;
  const std::optional<size_t> next = batch_->progress.NextToHarvest();
  if (!next) {
    EndBatch();
    return;
  }
  const size_t index = *next;
  batch_->current = index;
  const BatchLink& link = batch_->progress.link(index);
  const std::string prefix = BatchStatusText(index, batch_->progress.size(), "");
  ClearData();
  SetControlText(control(Control::url), link.link);
  ShowStatus(prefix + "读取 " + link.link);
  const std::optional<ExtractionReport> report = RunExtraction(HarvestFor(*link.platform));
  // The window may have been closed while the pages were fetched.
  if (!window_ || !batch_) return;
  ExtractionReport found = report.value_or(ExtractionReport{});
  found.platform = *link.platform;
  ShowStatus(prefix + ExtractionStatusText(found));
  if (found.mainPictures + found.skuPictures + found.detailPictures == 0) {
    batch_->progress.Record(index, BatchItemResultOf(link, found, std::nullopt));
    WriteBatchResults();
    PostUiTask(window_, [this] { HarvestNextBatchLink(); });
    return;
  }
  // The final question comes from the worker at the end of the save: the batch answers it, and
  // goes on with the window's thread.
  const bool saving = SaveHarvest(prefix, [this, window = window_, index, found](const std::string&, const std::string&) {
    PostUiTask(window, [this, index, found] { OnBatchItemSaved(index, found); });
    return false;
  });
  if (!saving) {
    const int rows = found.mainPictures + found.skuPictures + found.detailPictures;
    batch_->progress.Record(index, BatchItemResultOf(link, found, BatchSaveResult{rows, rows, false, false}));
    WriteBatchResults();
    PostUiTask(window_, [this] { HarvestNextBatchLink(); });
  }
}

void MainWindow::OnBatchItemSaved(size_t index, const ExtractionReport& report) {
  if (!batch_ || !save_) return;
  save_->Wait(kSaveEndWaitMs);
  batch_->progress.Record(index,
                          BatchItemResultOf(batch_->progress.link(index), report, BatchSaveResultOf(save_->Outcome())));
  WriteBatchResults();
  PostUiTask(window_, [this] { HarvestNextBatchLink(); });
}

void MainWindow::WriteBatchResults() {
  if (!batch_) return;
  EnsureFolder(outputRoot_);
  if (!ReplaceFileWhole(outputRoot_ + kBatchResultsFileName, batch_->progress.ResultsText()))
    ShowStatus(std::string("无法写入") + kBatchResultsFileName);
}

void MainWindow::EndBatch() {
  WriteBatchResults();
  const BatchCounts counts = batch_->progress.Counts();
  batch_.reset();
  ShowStatus("批量完成");
  if (Ask(BatchSummaryQuestion(counts), MB_YESNO, kSaveQuestionCaption) == kPressedYes)
    (config_.openFolder ? config_.openFolder : OpenFolderInShell)(outputRoot_);
}

void MainWindow::OnDropFiles(HDROP drop) {
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length, L'\0');
  if (length > 0) DragQueryFileW(drop, 0, path.data(), length + 1);
  DragFinish(drop);
  if (path.empty()) return;
  std::string bytes;
  if (!ReadSmallFile(path, kMaxBatchFileBytes, bytes)) {
    ShowStatus("无法读取批量文件：" + WideToGbk(path));
    return;
  }
  StartBatch(bytes);
}
