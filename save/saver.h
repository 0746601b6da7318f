#pragma once
// Saving the harvest: every listed picture, the main video and the title and SKU text, into the
// item's folder under the output root. The save runs on a worker thread and works on what the
// harvest held when it started, so clearing or a new extraction meanwhile changes nothing of it.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SaveRow {
  std::string url;
  std::string label;  // the picture's file name without ".jpg"
};

struct SaveJob {
  std::string outputFolder;  // the item's folder, ending with "\\"
  std::string itemId;        // already safe as a file name
  std::string videoUrl;
  std::vector<SaveRow> rows;
  std::string text;  // 文本数据 as it stood when the save began
};

// What a save does besides fetching and writing files.
struct SaveEffects {
  std::function<void(const std::string& message)> showStatus;
  std::function<void(const std::string& folder)> openFolder;  // the shell's "open"
};

struct SaveOutcome {
  int pictures = 0;
  int failed = 0;  // pictures that could not be fetched or written
  bool openedFolder = false;
};

// The worker's routine: fetches and writes everything, then asks whether to open the folder.
SaveOutcome SaveResults(const SaveJob& job, const SaveEffects& effects);

struct SaveSources {
  std::string outputRoot;  // ends with "\\"
  HWND list = nullptr;     // the picture rows: column 1 the URL, column 2 the label
  HWND textBox = nullptr;  // the title and SKU text
  SaveEffects effects;
};

// Runs on the window's thread and returns at once: creates the item's folder, sets OutputFolder,
// takes the snapshot and starts the worker. False, with nothing done, while a save is running or
// when no worker can be started.
bool StartSave(const SaveSources& sources);
bool SaveInProgress();

// The click handler of 数据_下载: the window's list and text box, the program's output root, the
// status line and the shell.
void StartSave();

// Shows `folder` in the system's file browser (the shell's "open" verb).
void OpenFolderInShell(const std::string& folder);

// The final question's text for `failed` of `pictures` pictures not saved.
std::string SaveQuestionText(int pictures, int failed);
