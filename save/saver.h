#pragma once
// Saving the harvest: every listed picture, the main video and the title and SKU text, into the
// item's folder under the output root. The save runs on a worker thread on a snapshot of the
// harvest, so clearing or a new extraction meanwhile changes nothing of it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SaveRow {
  std::string url;
  std::string label;  // the picture's file name without ".jpg"
};

// How long and how large the video download may grow; past a bound it is given up and leaves no
// file.
struct VideoBounds {
  unsigned maxMs = 10 * 60 * 1000;  // the whole download
  unsigned stallMs = 30 * 1000;     // without any news from the download
  unsigned long long maxBytes = 512ull << 20;
};

struct SaveJob {
  std::string outputFolder;  // the item's folder, ending with "\\"
  std::string itemId;        // already safe as a file name
  std::string videoName;     // the video file's name before "主图视频 .mp4", safe as a file name
  std::string videoUrl;
  std::vector<SaveRow> rows;
  std::string text;  // 文本数据 as it stood when the save began
  VideoBounds videoBounds;
};

// The job for a harvest: the item's folder under `outputRoot` (which ends with "\\"), named after
// the item id made safe as a folder name, or after the time of the save when there is no id.
// Nothing is saved into the output root itself. The video goes under `videoName` where one is
// given, else under the item id.
SaveJob PlanSave(const std::string& outputRoot, const std::string& itemId, std::string videoUrl,
                 std::vector<SaveRow> rows, std::string text, const std::string& videoName = {});

// What a save does besides fetching and writing files. Called on the worker thread.
struct SaveEffects {
  std::function<void(const std::string& message)> showStatus;
  // After each picture, in row order: how many of all were handled, and whether any failed.
  std::function<void(int done, int total, bool failed)> showProgress;
  // The final question (Yes and No); true for Yes. Left empty, the answer is No.
  std::function<bool(const std::string& question, const std::string& caption)> ask;
  std::function<void(const std::string& folder)> openFolder;  // the shell's "open"
};

// What became of the item's video.
enum class VideoSaved {
  Absent,  // the item has no video address: nothing to save
  Saved,
  Failed,  // it has one, and no video was saved from it (a failed download, or never reached)
};

// What a save did, file by file; the final question is made from it.
struct SaveOutcome {
  int pictures = 0;
  // Pictures that could not be fetched or written, whose answer could not be a picture (a web page
  // in its place), or that were never reached.
  int failed = 0;
  bool textSaved = false;  // the title and SKU text file was written
  VideoSaved video = VideoSaved::Absent;
  bool stopped = false;  // asked to stop: the rest was left and nothing was asked
  bool openedFolder = false;

  int SavedPictures() const { return pictures - failed; }
  // Every picture, the text file and the video (where the item has one).
  bool AllSaved() const { return failed <= 0 && textSaved && video != VideoSaved::Failed; }
};

// The worker's routine: fetches and writes everything (several pictures at once; their status
// lines in row order), then asks whether to open the folder.
SaveOutcome SaveResults(const SaveJob& job, const SaveEffects& effects);

// A save running on its own thread.
class SaveRun {
 public:
  ~SaveRun();  // stops the save and waits as StopAndWait does
  SaveRun(const SaveRun&) = delete;
  SaveRun& operator=(const SaveRun&) = delete;
  bool Running() const;
  // Waits up to `ms` for the save to end by itself; true when it has.
  bool Wait(unsigned ms) const;
  // Ends the save, the pictures in flight and the video download at once, and waits up to `ms` for
  // it. Past the bound the worker is left to itself, but no file is being written and none will
  // be: the process may end at once.
  bool StopAndWait(unsigned ms);
  // The outcome once the save has ended.
  SaveOutcome Outcome() const;

 private:
  friend std::unique_ptr<SaveRun> StartSave(SaveJob job, SaveEffects effects);
  struct Impl;
  explicit SaveRun(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Creates the item's folder and starts the worker; returns at once. Null when no thread can be
// started (nothing was saved).
std::unique_ptr<SaveRun> StartSave(SaveJob job, SaveEffects effects);

// Shows `folder` in the system's file browser (the shell's "open" verb).
void OpenFolderInShell(const std::string& folder);

// The final question's text: success only when every file of the save was saved, else what
// failed (pictures counted, the text file and the video named).
std::string SaveQuestionText(const SaveOutcome& outcome);
inline constexpr char kSaveQuestionCaption[] = "岚栩 - 提示";
