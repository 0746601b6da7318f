#include "save/video_download.h"

#include <urlmon.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "http/header_text.h"
#include "runtime/codepage.h"
#include "runtime/handles.h"
#include "runtime/worker.h"
#include "save/media_body.h"

namespace {

// A download given up (stopped, out of time or grown too large) ends at its next progress report;
// it is waited for this long, and otherwise left to remove its partial file itself.
constexpr DWORD kGivenUpDownloadWaitMs = 300;
// The first bytes of a downloaded video looked at to tell a web page from a video.
constexpr DWORD kVideoStartBytes = 4096;

// One video download, shared by the thread that runs it and the save that waits for it.
struct VideoDownload {
  std::wstring url;
  std::wstring temporary;
  VideoBounds bounds;
  std::atomic<ULONGLONG> lastNews{0};  // when the download last reported progress
  std::atomic<bool> givenUp{false};
  std::atomic<bool> tooLarge{false};
  // The download's own results, the thread's until it has finished.
  HRESULT result = E_FAIL;
  DWORD responseCode = 0;
  std::string contentType;
  // Who removes or keeps the partial file: the download thread when the save has given up on it,
  // the save once the thread has finished.
  std::mutex lock;
  bool finished = false;
};

// Breaks the download off once the save gave up on it or it grew too large (the system calls it as
// data arrives), and notes the server's answer: an error page or a web page is no video, yet the
// system writes it into the file and reports success all the same (Wine does; so may Windows).
class VideoDownloadCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  explicit VideoDownloadCallback(VideoDownload& download) : download_(download) {}
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
  // Lives on the download thread's stack for the whole download.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG, LPCWSTR) override {
    download_.lastNews = GetTickCount64();
    if (progress > download_.bounds.maxBytes || progressMax > download_.bounds.maxBytes) download_.tooLarge = true;
    return download_.givenUp || download_.tooLarge ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override {
    if (additionalHeaders) *additionalHeaders = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD responseCode, LPCWSTR headers, LPCWSTR,
                                       LPWSTR* additionalHeaders) override {
    if (additionalHeaders) *additionalHeaders = nullptr;
    download_.lastNews = GetTickCount64();
    download_.responseCode = responseCode;
    if (headers) download_.contentType = HeaderValueNamed(WideToGbk(headers), "Content-Type");
    return S_OK;
  }

 private:
  VideoDownload& download_;
};

void DownloadOnWorker(VideoDownload& download) {
  try {
    ScopedCoInitialize com;  // the download binds through COM
    VideoDownloadCallback callback(download);
    download.result = URLDownloadToFileW(nullptr, download.url.c_str(), download.temporary.c_str(), 0, &callback);
  } catch (...) {
    // The download counts as failed.
    download.result = E_FAIL;
  }
  std::lock_guard<std::mutex> lock(download.lock);
  download.finished = true;
  if (download.givenUp) DeleteFileW(download.temporary.c_str());
}

// Runs the download on a thread of its own and waits for it, at most bounds.maxMs in all and
// bounds.stallMs without news; true when it finished by itself. Otherwise the download is given
// up: it breaks off at its next progress report and removes its partial file.
bool RunVideoDownload(const std::shared_ptr<VideoDownload>& download, const StopSignal& stop) {
  const UniqueHandle thread = StartWorker([download] { DownloadOnWorker(*download); });
  if (!thread) return false;
  const ULONGLONG start = GetTickCount64();
  download->lastNews = start;
  const HANDLE waits[] = {thread.get(), stop.Event()};
  const DWORD count = waits[1] ? 2 : 1;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG end = start + download->bounds.maxMs;
    const ULONGLONG stalled = download->lastNews + download->bounds.stallMs;
    if (stop.Requested() || now >= end || now >= stalled) break;
    const ULONGLONG next = end < stalled ? end : stalled;
    if (WaitForMultipleObjects(count, waits, FALSE, static_cast<DWORD>(next - now)) == WAIT_OBJECT_0) break;
  }
  {
    std::lock_guard<std::mutex> lock(download->lock);
    if (download->finished) return true;
    download->givenUp = true;
  }
  WaitForSingleObject(thread.get(), kGivenUpDownloadWaitMs);
  return false;
}

std::string FileStart(const std::wstring& path, DWORD bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string start(bytes, '\0');
  DWORD read = 0;
  if (!ReadFile(file.get(), start.data(), bytes, &read, nullptr)) return {};
  start.resize(read);
  return start;
}

}  // namespace

// A name of its own for each download: one given up by an earlier save may still be about to
// remove its file.
std::wstring DownloadVideoFile(const std::string& url, const std::string& path, const VideoBounds& bounds,
                               const StopSignal& stop) {
  if (url.empty()) return {};
  static std::atomic<unsigned> downloads{0};
  auto download = std::make_shared<VideoDownload>();
  // The wide call: the path holds GBK names, which the ANSI one would read in the system's code page.
  download->url = GbkToWide(url);
  download->temporary = GbkToWide(path) + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++downloads) + L".part";
  download->bounds = bounds;
  if (!RunVideoDownload(download, stop)) return {};
  const std::wstring& temporary = download->temporary;
  const bool video = SUCCEEDED(download->result) && download->responseCode < 400 && !download->tooLarge &&
                     CanBeMedia(download->contentType, FileStart(temporary, kVideoStartBytes));
  if (video) return temporary;
  DeleteFileW(temporary.c_str());
  return {};
}
