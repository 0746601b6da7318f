#include "save/saver.h"

#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>

#include "http/header_text.h"
#include "http/wininet_request.h"
#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "runtime/handles.h"
#include "runtime/stop_signal.h"
#include "runtime/worker.h"
#include "save/date_time.h"
#include "save/file_names.h"
#include "save/media_body.h"
#include "save/video_download.h"

namespace {

constexpr char kAllSavedQuestion[] = "保存成功，是否打开文件夹查看？";
// A picture that failed on the way is asked for once more after this pause.
constexpr unsigned kRetryPauseMs = 400;
// How long a save that was not stopped explicitly is given when its owner goes away.
constexpr unsigned kStopWaitMs = 2000;
// Pictures in flight at once, each its own exchange (and each holding at most its own body): a
// picture host answers every request after its own latency, and one after the other the waits add
// up. WinInet is allowed as many connections to one server.
constexpr int kPicturesInFlight = 6;
constexpr SIZE_T kWorkerStack = 256 * 1024;
// How often a wait for a picture's outcome looks whether the save was stopped meanwhile.
constexpr unsigned kOutcomePollMs = 50;

// A stop asked from another thread, and the guard that keeps the process from ending in the middle
// of a file. Nobody need ever request it: a save that is never stopped runs with one all the same.
class SaveStop {
 public:
  const StopSignal& Signal() const { return signal_; }
  void Request() { signal_.Request(); }
  bool Requested() const { return signal_.Requested(); }
  // True as soon as a stop is requested, at the latest after `ms`.
  bool WaitFor(unsigned ms) const { return signal_.WaitFor(ms); }
  // Files are written only between BeginWrite (when it says yes) and EndWrite.
  bool BeginWrite() {
    std::lock_guard<std::mutex> lock(lock_);
    if (abandoned_) return false;
    ++writing_;
    return true;
  }
  void EndWrite() {
    std::lock_guard<std::mutex> lock(lock_);
    --writing_;
    changed_.notify_all();
  }
  // Waits out the writes under way (local writes are short); afterwards none begins.
  void Abandon() {
    std::unique_lock<std::mutex> lock(lock_);
    abandoned_ = true;
    signal_.Request();
    changed_.wait(lock, [&] { return writing_ == 0; });
  }

 private:
  StopSignal signal_;
  std::mutex lock_;
  std::condition_variable changed_;
  int writing_ = 0;
  bool abandoned_ = false;
};

class WriteScope {
 public:
  explicit WriteScope(SaveStop& stop) : stop_(stop), allowed_(stop.BeginWrite()) {}
  ~WriteScope() {
    if (allowed_) stop_.EndWrite();
  }
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;
  bool allowed() const { return allowed_; }

 private:
  SaveStop& stop_;
  bool allowed_;
};

// A file is written whole (ReplaceFileWhole), and only while the save may still write.
bool WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts, SaveStop& stop) {
  WriteScope scope(stop);
  return scope.allowed() && ReplaceFileWhole(path, parts);
}

// Every save draws from its own generator, seeded afresh, so two saves give different tails.
std::mt19937 SeededGenerator() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  std::random_device device;
  std::seed_seq seed{device(), static_cast<unsigned>(counter.LowPart), static_cast<unsigned>(counter.HighPart),
                     static_cast<unsigned>(GetCurrentThreadId()), static_cast<unsigned>(GetTickCount())};
  return std::mt19937(seed);
}

// The four bytes of every picture, drawn up front in row order: pictures finish in any order, and
// each still gets its own draw.
std::vector<std::uint32_t> DrawTails(size_t count) {
  std::mt19937 generator = SeededGenerator();
  std::vector<std::uint32_t> tails(count);
  for (std::uint32_t& tail : tails) tail = static_cast<std::uint32_t>(generator() % 10000);
  return tails;
}

struct Fetched {
  std::string body;
  bool good = false;        // a whole body with a success status that can be a picture
  bool worthRetry = false;  // no answer, a server error or a body cut short
};

Fetched FetchPicture(const std::string& url, const SaveStop& stop) {
  Fetched fetched;
  int status = 0;
  bool complete = false;
  std::string headers;
  WinInetRequestOptions options;
  options.returnedStatus = &status;
  options.bodyComplete = &complete;
  options.returnedHeaders = &headers;
  options.stop = &stop.Signal();
  fetched.body = WinInetRequest(url, options);
  const bool answered = status >= 200 && status < 300 && complete;
  // A web page in a picture's place (a block, a login portal) is a failure too, and asking again
  // brings the same page.
  fetched.good = answered && CanBeMedia(HeaderValueNamed(headers, "Content-Type"), fetched.body);
  // A client error (404, 403, ...) will not change on asking again.
  fetched.worthRetry = !answered && (status == 0 || status >= 500 || !complete);
  return fetched;
}

// A picture counts as saved only when a whole body that can be a picture came with a success
// status and was written.
bool SavePicture(const SaveRow& row, const std::string& path, std::uint32_t tail, SaveStop& stop) {
  if (row.url.empty()) return false;
  Fetched fetched = FetchPicture(row.url, stop);
  if (!fetched.good && fetched.worthRetry) {
    // A stop during the pause ends the picture as failed rather than keep the closing window waiting.
    if (stop.WaitFor(kRetryPauseMs)) return false;
    fetched = FetchPicture(row.url, stop);
  }
  if (!fetched.good) return false;
  return WriteWholeFile(path, {fetched.body, WithNumberTail(std::string(), tail)}, stop);
}

bool TrySavePicture(const SaveRow& row, const std::string& path, std::uint32_t tail, SaveStop& stop) {
  try {
    return SavePicture(row, path, tail, stop);
  } catch (...) {
    // Out of memory on a huge body, for one: this picture is lost, the save goes on.
    return false;
  }
}

enum class PictureOutcome { Saved, Failed, Stopped };

// The pictures of a save, fetched and written up to kPicturesInFlight at a time by workers that
// take the rows in order; their outcomes are waited for in row order. A stop ends the pictures in
// flight (their exchanges end at once) and starts no further one.
class PictureBatch {
 public:
  PictureBatch(const std::vector<SaveRow>& rows, std::vector<std::string> paths, std::vector<std::uint32_t> tails,
               SaveStop& stop)
      : rows_(rows), paths_(std::move(paths)), tails_(std::move(tails)), stop_(stop), outcomes_(rows.size(), kPending) {
    const size_t workers = rows.size() < kPicturesInFlight ? rows.size() : kPicturesInFlight;
    for (size_t i = 0; i < workers; ++i)
      if (UniqueHandle worker = StartWorker([this] { Work(); }, kWorkerStack)) workers_.push_back(std::move(worker));
    // Without a thread of its own the save still goes on, one picture after the other.
    if (workers_.empty()) Work();
  }
  // No further picture starts; the pictures in flight are waited for.
  ~PictureBatch() {
    {
      std::lock_guard<std::mutex> lock(lock_);
      closing_ = true;
    }
    for (const UniqueHandle& worker : workers_) WaitForSingleObject(worker.get(), INFINITE);
  }
  PictureBatch(const PictureBatch&) = delete;
  PictureBatch& operator=(const PictureBatch&) = delete;

  PictureOutcome WaitFor(size_t row) {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
      if (outcomes_[row] != kPending) return outcomes_[row] == kSaved ? PictureOutcome::Saved : PictureOutcome::Failed;
      if (stop_.Requested()) return PictureOutcome::Stopped;
      done_.wait_for(lock, std::chrono::milliseconds(kOutcomePollMs));
    }
  }

 private:
  static constexpr signed char kPending = -1, kFailed = 0, kSaved = 1;

  void Work() {
    for (;;) {
      size_t row;
      {
        std::lock_guard<std::mutex> lock(lock_);
        if (closing_ || stop_.Requested() || next_ >= rows_.size()) return;
        row = next_++;
      }
      const bool saved = TrySavePicture(rows_[row], paths_[row], tails_[row], stop_);
      {
        std::lock_guard<std::mutex> lock(lock_);
        outcomes_[row] = saved ? kSaved : kFailed;
      }
      done_.notify_all();
    }
  }

  const std::vector<SaveRow>& rows_;
  const std::vector<std::string> paths_;
  const std::vector<std::uint32_t> tails_;
  SaveStop& stop_;
  std::mutex lock_;
  std::condition_variable done_;
  std::vector<signed char> outcomes_;
  size_t next_ = 0;
  bool closing_ = false;
  std::vector<UniqueHandle> workers_;
};

// The video takes the place of `path` only once it is a whole video. True when it did.
bool DownloadVideo(const std::string& url, const std::string& path, const VideoBounds& bounds, SaveStop& stop) {
  const std::wstring temporary = DownloadVideoFile(url, path, bounds, stop.Signal());
  if (temporary.empty()) return false;
  WriteScope scope(stop);
  if (scope.allowed() && MoveFileExW(temporary.c_str(), GbkToWide(path).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

void Report(const SaveEffects& effects, const std::string& message) {
  if (effects.showStatus) effects.showStatus(message);
}

SaveOutcome RunSave(const SaveJob& job, const SaveEffects& effects, SaveStop& stop) {
  SaveOutcome outcome;
  outcome.pictures = static_cast<int>(job.rows.size());
  int saved = 0;
  // Every file of the save counts: the text file always, the video where there is an address.
  bool videoSaved = false;
  try {
    AllowWinInetConnectionsPerServer(kPicturesInFlight);
    std::vector<std::string> labels;
    for (const SaveRow& row : job.rows) labels.push_back(row.label);
    std::vector<std::string> paths = DistinctFileNames(labels);
    for (std::string& name : paths) name = job.outputFolder + name + ".jpg";
    {
      PictureBatch batch(job.rows, std::move(paths), DrawTails(job.rows.size()), stop);
      // What the status line shows goes row by row, whichever picture finishes first.
      for (size_t i = 0; i < job.rows.size(); ++i) {
        const std::string& label = job.rows[i].label;
        Report(effects, "读取 " + label);
        const PictureOutcome picture = batch.WaitFor(i);
        if (picture == PictureOutcome::Stopped) {
          outcome.stopped = true;
          break;
        }
        if (picture == PictureOutcome::Saved) ++saved;
        Report(effects, (picture == PictureOutcome::Saved ? "图片数据保存完成 " : "图片数据保存失败 ") + label);
        const int done = static_cast<int>(i) + 1;
        if (effects.showProgress) effects.showProgress(done, outcome.pictures, saved < done);
      }
    }
    if (!outcome.stopped && !stop.Requested()) {
      outcome.textSaved = WriteWholeFile(job.outputFolder + job.itemId + "   SKU与标题.txt", {job.text}, stop);
      videoSaved = DownloadVideo(job.videoUrl, job.outputFolder + job.videoName + "主图视频 .mp4", job.videoBounds, stop);
    }
  } catch (...) {
    // The worker itself failed (out of memory while reporting, say): what is left counts as not
    // saved, and the save still ends with its question.
  }
  outcome.failed = outcome.pictures - saved;
  if (!job.videoUrl.empty()) outcome.video = videoSaved ? VideoSaved::Saved : VideoSaved::Failed;
  outcome.stopped = outcome.stopped || stop.Requested();
  if (outcome.stopped) return outcome;  // the window is going: nobody is there to answer

  try {
    Report(effects, "所有图片保存完成");
  } catch (...) {
  }
  if (effects.ask && effects.ask(SaveQuestionText(outcome), kSaveQuestionCaption)) {
    outcome.openedFolder = true;
    if (effects.openFolder) effects.openFolder(job.outputFolder);
  }
  return outcome;
}

}  // namespace

SaveJob PlanSave(const std::string& outputRoot, const std::string& itemId, std::string videoUrl,
                 std::vector<SaveRow> rows, std::string text, const std::string& videoName) {
  SaveJob job;
  // A harvest always names its item; rows that came without a name still get a folder of their own.
  job.itemId = SafeFileName(itemId.empty() ? TimeName(CurrentChinaTime()) : itemId);
  job.videoName = videoName.empty() ? job.itemId : SafeFileName(videoName);
  job.outputFolder = outputRoot + job.itemId + "\\";
  job.videoUrl = std::move(videoUrl);
  job.rows = std::move(rows);
  job.text = std::move(text);
  return job;
}

std::string SaveQuestionText(const SaveOutcome& outcome) {
  if (outcome.AllSaved()) return kAllSavedQuestion;
  std::string files;
  if (!outcome.textSaved) files = "SKU与标题文本";
  if (outcome.video == VideoSaved::Failed) files += files.empty() ? "主图视频" : "和主图视频";
  std::string text = "保存完成，";
  if (outcome.failed > 0)
    text += std::to_string(outcome.pictures) + "张图片中有" + std::to_string(outcome.failed) + "张未能保存，";
  if (!files.empty()) text += files + (outcome.failed > 0 ? "也未能保存，" : "未能保存，");
  return text + "是否打开文件夹查看？";
}

SaveOutcome SaveResults(const SaveJob& job, const SaveEffects& effects) {
  SaveStop never;  // nobody asks this save to stop
  EnsureFolder(job.outputFolder);
  return RunSave(job, effects, never);
}

void OpenFolderInShell(const std::string& folder) {
  ShellExecuteW(nullptr, L"open", GbkToWide(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// What the worker and its owner share; the worker keeps it alive for as long as it runs.
struct SaveShared {
  SaveJob job;
  SaveEffects effects;
  SaveStop stop;
  std::mutex lock;
  SaveOutcome outcome;
};

struct SaveRun::Impl {
  std::shared_ptr<SaveShared> shared;
  UniqueHandle thread;
  bool leftBehind = false;  // a stop ran out its bound: the worker goes on alone, writing nothing
};

namespace {

// What was written stays written, whatever ends the save.
void SaveOnWorker(SaveShared& shared) {
  SaveOutcome outcome = RunSave(shared.job, shared.effects, shared.stop);
  std::lock_guard<std::mutex> lock(shared.lock);
  shared.outcome = outcome;
}

}  // namespace

SaveRun::SaveRun(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SaveRun::~SaveRun() {
  if (!impl_->leftBehind && Running()) StopAndWait(kStopWaitMs);
}

bool SaveRun::Running() const { return !Wait(0); }

bool SaveRun::Wait(unsigned ms) const { return WaitForSingleObject(impl_->thread.get(), ms) == WAIT_OBJECT_0; }

bool SaveRun::StopAndWait(unsigned ms) {
  impl_->shared->stop.Request();
  if (Wait(ms)) return true;
  impl_->shared->stop.Abandon();
  impl_->leftBehind = true;
  return false;
}

SaveOutcome SaveRun::Outcome() const {
  std::lock_guard<std::mutex> lock(impl_->shared->lock);
  return impl_->shared->outcome;
}

std::unique_ptr<SaveRun> StartSave(SaveJob job, SaveEffects effects) {
  EnsureFolder(job.outputFolder);
  auto shared = std::make_shared<SaveShared>();
  shared->job = std::move(job);
  shared->effects = std::move(effects);
  auto impl = std::make_unique<SaveRun::Impl>();
  impl->shared = shared;
  impl->thread = StartWorker([shared] { SaveOnWorker(*shared); });
  if (!impl->thread) return nullptr;
  return std::unique_ptr<SaveRun>(new SaveRun(std::move(impl)));
}
