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
#include "runtime/file_lock.h"
#include "runtime/folders.h"
#include "runtime/ui_task.h"

namespace {

// Ten thousand links a batch makes some megabytes of results, many batches far more; a file past
// this is not read (the batch says so and does not start), never cut.
constexpr size_t kMaxResultsFileBytes = 64 << 20;
constexpr char kResultsFileTooLarge[] = "文件超过64MB，请把它移到别处后再开始批量";
// Another copy of the program holds the results file's lock only while it reads and rewrites it.
constexpr unsigned kResultsLockWaitMs = 3000;
// The worker returns at once after the final question; this bounds the wait for its outcome.
constexpr unsigned kSaveEndWaitMs = 2000;

// The results file as it stands now: what it holds, or why it cannot be read. A file not there
// yet holds nothing. A file just as this batch wrote it last is not read again: its lines are the
// ones the batch holds.
struct ResultsFileReading {
  bool changed = false;  // it holds what the batch has not taken yet
  EarlierBatchResults earlier;
  std::string problem;  // GBK, for a message naming the file
};

ResultsFileReading ReadResultsFile(const std::string& path, const std::string& lastWritten = {}) {
  ResultsFileReading reading;
  std::string bytes;
  const FileReading read = ReadWholeFile(GbkToWide(path), kMaxResultsFileBytes, bytes);
  switch (read.failure) {
    case FileReadFailure::None: break;
    case FileReadFailure::Missing: return reading;
    case FileReadFailure::TooLarge: reading.problem = kResultsFileTooLarge; return reading;
    case FileReadFailure::InUse: reading.problem = "文件被其他程序占用，请关闭它后再试"; return reading;
    case FileReadFailure::Other:
      reading.problem = "读取出错（系统错误" + std::to_string(read.systemError) + "）";
      return reading;
  }
  if (!lastWritten.empty() && bytes == lastWritten) return reading;
  ResultsFileText text = ResultsFileAsGbk(bytes, Utf8PageText);
  reading.problem = std::move(text.problem);
  if (!reading.problem.empty()) return reading;
  reading.changed = true;
  reading.earlier = ReadBatchResultsText(text.text);
  return reading;
}

// What the batch makes of a save's outcome.
BatchSaveResult BatchSaveResultOf(const SaveOutcome& outcome) {
  BatchSaveResult result;
  result.pictures = outcome.pictures;
  result.failed = outcome.failed;
  result.textSaved = outcome.textSaved;
  result.videoFailed = outcome.video == VideoSaved::Failed;
  return result;
}

}  // namespace

void MainWindow::StartBatch(std::string_view fileBytes) {
  if (activity() != Activity::Idle) {
    ShowStatus("正在读取或保存，请完成后再开始批量");
    return;
  }
  BatchFile file = ReadBatchText(fileBytes, Utf8PageText);
  if (!file.problem.empty() || file.links.empty()) {
    ShowStatus(file.problem.empty() ? "批量文件里没有链接" : file.problem);
    return;
  }
  // The earlier results are what a resume goes by, and every write keeps them: a file that cannot
  // be read would be replaced by one without them.
  const std::string resultsPath = outputRoot_ + kBatchResultsFileName;
  ResultsFileReading earlier;
  {
    FileLock lock(resultsPath + ".lock", kResultsLockWaitMs);
    earlier = ReadResultsFile(resultsPath);
  }
  if (!earlier.problem.empty()) {
    ShowStatus(std::string("批量没有开始：") + kBatchResultsFileName + "无法读取（" + earlier.problem + "）");
    Ask("无法读取" + resultsPath + "：" + earlier.problem + "。\r\n\r\n为了不丢失其中已有的结果，批量没有开始。",
        MB_OK | MB_ICONWARNING, kSaveQuestionCaption);
    return;
  }
  batch_ = std::make_unique<BatchRun>(BatchRun{BatchProgress(std::move(file), std::move(earlier.earlier))});
  ShowBatchProgress();
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
  const BatchLink& link = batch_->progress.link(index);
  const std::string prefix = BatchStatusText(index, batch_->progress.size(), "");
  ClearData();
  SetControlText(control(Control::url), link.link);
  ShowStatus(prefix + "读取 " + link.link);
  const std::optional<ExtractionReport> report = RunExtraction(*link.platform);
  // The window may have been closed while the pages were fetched.
  if (!window_ || !batch_) return;
  ExtractionReport found = report.value_or(ExtractionReport{});
  found.platform = *link.platform;
  ShowStatus(prefix + BatchExtractionText(found));
  if (found.mainPictures + found.skuPictures + found.detailPictures == 0) {
    batch_->progress.Record(index, BatchItemResultOf(link, found, std::nullopt));
    WriteBatchResults();
    ShowBatchProgress();
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
    ShowBatchProgress();
    PostUiTask(window_, [this] { HarvestNextBatchLink(); });
  }
}

void MainWindow::OnBatchItemSaved(size_t index, const ExtractionReport& report) {
  if (!batch_ || !save_) return;
  save_->Wait(kSaveEndWaitMs);
  batch_->progress.Record(index,
                          BatchItemResultOf(batch_->progress.link(index), report, BatchSaveResultOf(save_->Outcome())));
  WriteBatchResults();
  ShowBatchProgress();
  PostUiTask(window_, [this] { HarvestNextBatchLink(); });
}

// Another copy of the program may run a batch into the same folder: under the lock, the file is
// read again and this batch's results merged into what it holds now (at ten thousand lines the
// merge costs a tenth of a second under Wine, the comparison with the last write a millisecond). A
// file that cannot be read is left as it is.
bool MainWindow::WriteBatchResults() {
  if (!batch_) return false;
  const std::string path = outputRoot_ + kBatchResultsFileName;
  EnsureFolder(outputRoot_);
  bool written = false;
  {
    FileLock lock(path + ".lock", kResultsLockWaitMs);
    ResultsFileReading now = ReadResultsFile(path, batch_->lastWritten);
    if (now.problem.empty()) {
      if (now.changed) batch_->progress.TakeEarlier(std::move(now.earlier));
      std::string text = batch_->progress.ResultsText();
      written = ReplaceFileWhole(path, {text});
      batch_->lastWritten = written ? std::move(text) : std::string();
    }
  }
  if (!written) ShowStatus(std::string("无法写入") + kBatchResultsFileName);
  return written;
}

// Items done of all; the taskbar button turns red once an item failed or was saved in part.
void MainWindow::ShowBatchProgress() {
  if (!batch_) return;
  const BatchCounts counts = batch_->progress.Counts();
  Progress().ShowProgress(counts.Recorded(), counts.links, counts.partial + counts.failed > 0);
}

void MainWindow::EndBatch() {
  const bool written = WriteBatchResults();
  const BatchCounts counts = batch_->progress.Counts();
  batch_.reset();
  Progress().EndProgress();
  ShowStatus("批量完成");
  if (Ask(BatchSummaryQuestion(counts, written), MB_YESNO, kSaveQuestionCaption) == kPressedYes)
    (config_.openFolder ? config_.openFolder : OpenFolderInShell)(outputRoot_);
}
