#include "save/saver.h"

#include <windows.h>
#include <shellapi.h>
#include <urlmon.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>

#include "http/wininet_request.h"
#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "runtime/handles.h"
#include "save/file_names.h"

namespace {

constexpr char kAllSavedQuestion[] = "保存成功，是否打开文件夹查看？";
// A picture that failed on the way is asked for once more after this pause.
constexpr unsigned kRetryPauseMs = 400;
// How long a save that was not stopped explicitly is given when its owner goes away.
constexpr unsigned kStopWaitMs = 2000;

// A stop asked from another thread, and the guard that keeps the process from ending in the middle
// of a file.
class SaveStop {
 public:
  void Request() {
    std::lock_guard<std::mutex> lock(lock_);
    requested_ = true;
    changed_.notify_all();
  }
  bool Requested() const {
    std::lock_guard<std::mutex> lock(lock_);
    return requested_;
  }
  // True as soon as a stop is requested, at the latest after `ms`.
  bool WaitFor(unsigned ms) const {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return requested_; });
  }
  // Files are written only between BeginWrite (when it says yes) and EndWrite.
  bool BeginWrite() {
    std::lock_guard<std::mutex> lock(lock_);
    if (abandoned_) return false;
    writing_ = true;
    return true;
  }
  void EndWrite() {
    std::lock_guard<std::mutex> lock(lock_);
    writing_ = false;
    changed_.notify_all();
  }
  // Waits out a write under way (local writes are short); afterwards none begins.
  void Abandon() {
    std::unique_lock<std::mutex> lock(lock_);
    abandoned_ = true;
    requested_ = true;
    changed_.wait(lock, [&] { return !writing_; });
  }

 private:
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  bool requested_ = false;
  bool writing_ = false;
  bool abandoned_ = false;
};

class WriteScope {
 public:
  explicit WriteScope(SaveStop* stop) : stop_(stop), allowed_(!stop || stop->BeginWrite()) {}
  ~WriteScope() {
    if (stop_ && allowed_) stop_->EndWrite();
  }
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;
  bool allowed() const { return allowed_; }

 private:
  SaveStop* stop_;
  bool allowed_;
};

bool WriteParts(HANDLE file, std::initializer_list<std::string_view> parts) {
  for (std::string_view part : parts) {
    while (!part.empty()) {
      // WriteFile takes a 32-bit count; larger parts go in pieces.
      const DWORD size = part.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(part.size());
      DWORD written = 0;
      if (!WriteFile(file, part.data(), size, &written, nullptr) || written == 0) return false;
      part.remove_prefix(written);
    }
  }
  return true;
}

// Writes the parts one after the other into a temporary file beside `path` and then puts it in
// place of `path`, so that `path` never holds part of a file: it keeps what it had until the new
// file is whole. The temporary file is held exclusively while it is written and removed on failure.
bool WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts, SaveStop* stop) {
  WriteScope scope(stop);
  if (!scope.allowed()) return false;
  const std::wstring target = GbkToWide(path);
  const std::wstring temporary = target + L".part";
  bool ok;
  {
    UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    ok = WriteParts(file.get(), parts);
  }
  ok = ok && MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
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

struct Fetched {
  std::string body;
  bool good = false;       // a whole body with a success status
  bool worthRetry = false; // no answer, a server error or a body cut short
};

Fetched FetchPicture(const std::string& url) {
  Fetched fetched;
  int status = 0;
  bool complete = false;
  WinInetRequestOptions options;
  options.returnedStatus = &status;
  options.bodyComplete = &complete;
  fetched.body = WinInetRequest(url, options);
  fetched.good = status >= 200 && status < 300 && complete && !fetched.body.empty();
  // A client error (404, 403, ...) will not change on asking again.
  fetched.worthRetry = !fetched.good && (status == 0 || status >= 500 || !complete);
  return fetched;
}

// A picture counts as saved only when a whole body came with a success status and was written.
bool SavePicture(const SaveRow& row, const std::string& path, std::mt19937& generator, SaveStop* stop) {
  if (row.url.empty()) return false;
  Fetched fetched = FetchPicture(row.url);
  if (!fetched.good && fetched.worthRetry) {
    // A stop during the pause ends the picture as failed rather than keep the closing window waiting.
    if (stop && stop->WaitFor(kRetryPauseMs)) return false;
    if (!stop) Sleep(kRetryPauseMs);
    fetched = FetchPicture(row.url);
  }
  if (!fetched.good) return false;
  const std::string tail = WithNumberTail(std::string(), static_cast<std::uint32_t>(generator() % 10000));
  return WriteWholeFile(path, {fetched.body, tail}, stop);
}

bool TrySavePicture(const SaveRow& row, const std::string& path, std::mt19937& generator, SaveStop* stop) {
  try {
    return SavePicture(row, path, generator, stop);
  } catch (...) {
    // Out of memory on a huge body, for one: this picture is lost, the save goes on.
    return false;
  }
}

// Breaks a download off when the save is asked to stop (the system calls it as data arrives), and
// notes the status of the server's answer: an error page is no video, yet the system writes it
// into the file and reports success all the same (Wine does; so may Windows for some servers).
class VideoDownloadCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  explicit VideoDownloadCallback(const SaveStop* stop) : stop_(stop) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBindStatusCallback) {
      *out = static_cast<IBindStatusCallback*>(this);
    } else if (iid == IID_IHttpNegotiate) {
      *out = static_cast<IHttpNegotiate*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  // Lives on the caller's stack for the whole download.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override {
    return stop_ && stop_->Requested() ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override {
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override {
    if (additionalHeaders) *additionalHeaders = nullptr;
    responseCode_ = responseCode;
    return S_OK;
  }

  // An HTTP answer of 400 or more came: whatever was written is the server's error page.
  bool ErrorAnswer() const { return responseCode_ >= 400; }

 private:
  const SaveStop* stop_;
  DWORD responseCode_ = 0;
};

// The system downloads the video into a temporary file beside `path`, which takes its place only
// once the download is whole and was answered with a success.
void DownloadVideo(const std::string& url, const std::string& path, SaveStop* stop) {
  if (url.empty()) return;
  const std::wstring target = GbkToWide(path);
  const std::wstring temporary = target + L".part";
  VideoDownloadCallback callback(stop);
  // The wide call: the path holds GBK names, which the ANSI one would read in the system's code page.
  const HRESULT hr = URLDownloadToFileW(nullptr, GbkToWide(url).c_str(), temporary.c_str(), 0, &callback);
  WriteScope scope(stop);
  if (FAILED(hr) || callback.ErrorAnswer() || !scope.allowed() ||
      !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    DeleteFileW(temporary.c_str());
}

void Report(const SaveEffects& effects, const std::string& message) {
  if (effects.showStatus) effects.showStatus(message);
}

bool Stopped(SaveStop* stop) { return stop && stop->Requested(); }

SaveOutcome RunSave(const SaveJob& job, const SaveEffects& effects, SaveStop* stop) {
  ScopedCoInitialize com;  // the video download binds through COM
  SaveOutcome outcome;
  outcome.pictures = static_cast<int>(job.rows.size());
  int saved = 0;
  try {
    std::mt19937 generator = SeededGenerator();
    std::vector<std::string> labels;
    for (const SaveRow& row : job.rows) labels.push_back(row.label);
    const std::vector<std::string> names = DistinctFileNames(labels);
    for (size_t i = 0; i < job.rows.size() && !outcome.stopped; ++i) {
      const SaveRow& row = job.rows[i];
      Report(effects, "读取 " + row.label);
      if (TrySavePicture(row, job.outputFolder + names[i] + ".jpg", generator, stop)) {
        ++saved;
        Report(effects, "图片数据保存完成 " + row.label);
      } else {
        Report(effects, "图片数据保存失败 " + row.label);
      }
      outcome.stopped = Stopped(stop);
    }
    if (!outcome.stopped) {
      WriteWholeFile(job.outputFolder + job.itemId + "   SKU与标题.txt", {job.text}, stop);
      DownloadVideo(job.videoUrl, job.outputFolder + job.itemId + "主图视频 .mp4", stop);
    }
  } catch (...) {
    // The worker itself failed (out of memory while reporting, say): what is left counts as not
    // saved, and the save still ends with its question.
  }
  outcome.failed = outcome.pictures - saved;
  outcome.stopped = outcome.stopped || Stopped(stop);
  if (outcome.stopped) return outcome;  // the window is going: nobody is there to answer

  try {
    Report(effects, "所有图片保存完成");
  } catch (...) {
  }
  if (effects.ask && effects.ask(SaveQuestionText(outcome.pictures, outcome.failed), kSaveQuestionCaption)) {
    outcome.openedFolder = true;
    if (effects.openFolder) effects.openFolder(job.outputFolder);
  }
  return outcome;
}

}  // namespace

SaveJob PlanSave(const std::string& outputRoot, const std::string& itemId, std::string videoUrl,
                 std::vector<SaveRow> rows, std::string text) {
  SaveJob job;
  job.itemId = SafeFileName(itemId);
  // Without an item id the pictures go to the output root itself.
  job.outputFolder = job.itemId.empty() ? outputRoot : outputRoot + job.itemId + "\\";
  job.videoUrl = std::move(videoUrl);
  job.rows = std::move(rows);
  job.text = std::move(text);
  return job;
}

std::string SaveQuestionText(int pictures, int failed) {
  if (failed <= 0) return kAllSavedQuestion;
  return "保存完成，" + std::to_string(pictures) + "张图片中有" + std::to_string(failed) +
         "张未能保存，是否打开文件夹查看？";
}

SaveOutcome SaveResults(const SaveJob& job, const SaveEffects& effects) { return RunSave(job, effects, nullptr); }

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

DWORD WINAPI SaveThread(void* parameter) {
  std::unique_ptr<std::shared_ptr<SaveShared>> held(static_cast<std::shared_ptr<SaveShared>*>(parameter));
  SaveShared& shared = **held;
  try {
    SaveOutcome outcome = RunSave(shared.job, shared.effects, &shared.stop);
    std::lock_guard<std::mutex> lock(shared.lock);
    shared.outcome = outcome;
  } catch (...) {
    // Nothing may leave a thread procedure; what was written stays written.
  }
  return 0;
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
  auto* held = new std::shared_ptr<SaveShared>(shared);
  impl->thread.reset(CreateThread(nullptr, 0, SaveThread, held, 0, nullptr));
  if (!impl->thread) {
    delete held;
    return nullptr;
  }
  return std::unique_ptr<SaveRun>(new SaveRun(std::move(impl)));
}
