#include "save/saver.h"

#include <shellapi.h>
#include <urlmon.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>

#include "extract/item_harvest.h"
#include "http/wininet_request.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/folders.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"
#include "save/file_names.h"

namespace {

std::atomic<bool> g_saving{false};

constexpr char kQuestionCaption[] = "岚栩 - 提示";
constexpr char kAllSavedQuestion[] = "保存成功，是否打开文件夹查看？";

// Creates or truncates `path` and writes the parts one after the other; the file is held
// exclusively meanwhile. A file that could not be written whole is removed again.
bool WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts) {
  const std::wstring wide = GbkToWide(path);
  bool ok;
  {
    UniqueFile file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    ok = true;
    for (std::string_view part : parts) {
      DWORD written = 0;
      if (!part.empty() && (!WriteFile(file.get(), part.data(), static_cast<DWORD>(part.size()), &written, nullptr) ||
                            written != part.size())) {
        ok = false;
        break;
      }
    }
  }
  if (!ok) DeleteFileW(wide.c_str());
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

// A picture counts as saved only when a whole body came with a success status and was written.
bool SavePicture(const SaveRow& row, const std::string& path, std::mt19937& generator) {
  int status = 0;
  bool complete = false;
  WinInetRequestOptions options;
  options.returnedStatus = &status;
  options.bodyComplete = &complete;
  const std::string body = WinInetRequest(row.url, options);
  if (body.empty() || !complete || status >= 400) return false;
  const std::string tail = WithNumberTail(std::string(), static_cast<std::uint32_t>(generator() % 10000));
  return WriteWholeFile(path, {body, tail});
}

void DownloadVideo(const std::string& url, const std::string& path) {
  if (url.empty()) return;
  // The wide call: the path holds GBK names, which the ANSI one would read in the system's code page.
  URLDownloadToFileW(nullptr, GbkToWide(url).c_str(), GbkToWide(path).c_str(), 0, nullptr);
}

void Report(const SaveEffects& effects, const std::string& message) {
  if (effects.showStatus) effects.showStatus(message);
}

struct SaveTask {
  SaveJob job;
  SaveEffects effects;
};

DWORD WINAPI SaveThread(void* parameter) {
  std::unique_ptr<SaveTask> task(static_cast<SaveTask*>(parameter));
  try {
    SaveResults(task->job, task->effects);
  } catch (...) {
    // Nothing may leave a thread procedure; what was written stays written.
  }
  g_saving = false;
  return 0;
}

}  // namespace

std::string SaveQuestionText(int pictures, int failed) {
  if (failed <= 0) return kAllSavedQuestion;
  return "保存完成，" + std::to_string(pictures) + "张图片中有" + std::to_string(failed) +
         "张未能保存，是否打开文件夹查看？";
}

SaveOutcome SaveResults(const SaveJob& job, const SaveEffects& effects) {
  ScopedCoInitialize com;  // the video download binds through COM
  std::mt19937 generator = SeededGenerator();
  SaveOutcome outcome;
  outcome.pictures = static_cast<int>(job.rows.size());
  for (const SaveRow& row : job.rows) {
    Report(effects, "读取 " + row.label);
    const std::string path = job.outputFolder + SafeFileName(row.label) + ".jpg";
    if (SavePicture(row, path, generator)) {
      Report(effects, "图片数据保存完成 " + row.label);
    } else {
      ++outcome.failed;
      Report(effects, "图片数据保存失败 " + row.label);
    }
  }
  WriteWholeFile(job.outputFolder + job.itemId + "   SKU与标题.txt", {job.text});
  DownloadVideo(job.videoUrl, job.outputFolder + job.itemId + "主图视频 .mp4");
  Report(effects, "所有图片保存完成");

  if (ShowMessageBox(SaveQuestionText(outcome.pictures, outcome.failed), MB_YESNO, kQuestionCaption) == kPressedYes) {
    outcome.openedFolder = true;
    if (effects.openFolder) effects.openFolder(job.outputFolder);
  }
  return outcome;
}

bool SaveInProgress() { return g_saving; }

void OpenFolderInShell(const std::string& folder) {
  ShellExecuteW(nullptr, L"open", GbkToWide(folder).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool StartSave(const SaveSources& sources) {
  if (g_saving.exchange(true)) return false;  // one save at a time; the press is ignored

  auto task = std::make_unique<SaveTask>();
  SaveJob& job = task->job;
  const int rows = ListViewRowCount(sources.list);
  for (int i = 0; i < rows; ++i) job.rows.push_back({ListViewCell(sources.list, i, 1), ListViewCell(sources.list, i, 2)});
  job.text = GetControlText(sources.textBox);

  const HarvestGlobals globals = SnapshotHarvestGlobals();
  job.itemId = SafeFileName(globals.itemId);
  job.videoUrl = globals.videoUrl;
  // Without an item id the pictures go to the output root itself.
  job.outputFolder = job.itemId.empty() ? sources.outputRoot : sources.outputRoot + job.itemId + "\\";
  EnsureFolder(job.outputFolder);
  SetOutputFolder(job.outputFolder);
  task->effects = sources.effects;

  UniqueHandle thread(CreateThread(nullptr, 0, SaveThread, task.get(), 0, nullptr));
  if (!thread) {
    g_saving = false;
    return false;
  }
  task.release();  // the thread owns it now; nobody waits for the thread
  return true;
}
