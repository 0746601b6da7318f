#pragma once
// The program's one window: its controls, addressed by their layout names, and everything the
// window keeps for itself (the harvest's item id, video address and output folder, the running
// save and batch, the status line's clock). One object per window; its window procedure
// (main_window.cpp) dispatches every message to a named handler, and clicks, hot keys and batch
// files to the handlers named in the binding tables (command_bindings.cpp). The files call one way
// only, from the window procedure down: the batch (batch_commands.cpp) drives the platform buttons'
// extraction (extract_commands.cpp), the save (save_commands.cpp) and the clear
// (command_handlers.cpp); those use what the window offers every command (window_services.cpp,
// window_harvest.cpp, window_layout.cpp), which calls no command.

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/width_slide_plan.h"
#include "app/window_layout.h"
#include "batch/batch_results.h"
#include "config/hosts_file.h"
#include "extract/extraction_gate.h"
#include "extract/item_extractors.h"
#include "extract/item_harvest.h"
#include "extract/item_name.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"
#include "runtime/progress_display.h"
#include "runtime/stop_signal.h"
#include "save/network_time.h"
#include "save/saver.h"

class TaskbarProgress;

// The program directory followed by "\\岚栩图片工具箱\\" (GBK).
std::string DefaultOutputRoot();

// What a window is made with. The program passes the shipped hosts (or those of a hosts file);
// tests pass loopback hosts and answer the message boxes themselves.
struct WindowConfig {
  ProgramHosts hosts = ShippedProgramHosts();
  std::string outputRoot;      // ends with "\\"; empty: DefaultOutputRoot()
  MessageBoxAnswerer answer;   // empty: a person answers the system's boxes
  // Shows a saved item's folder; empty: the system's file browser.
  std::function<void(const std::string& folder)> openFolder;
  std::string cookie;                    // put into the cookie box at start (GBK)
  std::optional<std::string> batchFile;  // a batch file's bytes: harvested and saved once the window is up
  // Where a save's and a batch's progress goes; null: the window's taskbar button.
  ProgressDisplay* progress = nullptr;
};

// The rows and text lines one link's latest run put into the list and the text box.
struct HarvestedLink {
  std::string link;   // its LinkIdentity
  int rows = 0;
  std::wstring text;  // its lines as the text box holds them
};

// The item harvest's state that lives outside the controls.
struct HarvestState {
  // The links harvested since the last clear, in the order their rows and lines stand in the list
  // and the text box.
  std::vector<HarvestedLink> links;
  std::string itemId;
  std::string videoUrl;
  std::string videoName;     // the video file's name where it is not the item id's
  std::string outputFolder;  // the folder of the last download; ends with "\\" when not empty
};

// What the window is busy with. A batch runs extractions and saves of its own; an extraction may
// run while a save goes on, and then counts.
enum class Activity { Idle, Extracting, Saving, Batch };

class MainWindow : private HarvestSink {
 public:
  explicit MainWindow(WindowConfig config = {});
  ~MainWindow() override;  // destroys the window when it still exists
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates and shows the window; the created handler runs inside (welcome message included).
  bool Create(HINSTANCE instance);
  // Runs the message loop until the window is closed; returns the exit code.
  int RunMessageLoop();

  HWND handle() const { return window_; }
  HWND control(Control control) const {
    const size_t i = static_cast<size_t>(control);
    return i < std::size(controls_) ? controls_[i] : nullptr;
  }
  // Identifiers of the system-wide hot keys Page Up and Page Down (0 when registration failed).
  int expandHotKeyId() const { return HotKeyId(VK_PRIOR); }
  int collapseHotKeyId() const { return HotKeyId(VK_NEXT); }
  const HarvestState& harvest() const { return harvest_; }
  const std::string& outputRoot() const { return outputRoot_; }
  bool ExtractionRunning() const { return gate_.Running(); }
  bool SaveRunning() const { return save_ && save_->Running(); }
  bool BatchRunning() const { return batch_ != nullptr; }
  // What every handler asks before it starts anything.
  Activity activity() const {
    if (BatchRunning()) return Activity::Batch;
    if (ExtractionRunning()) return Activity::Extracting;
    return SaveRunning() ? Activity::Saving : Activity::Idle;
  }

  // The status line: the message behind the time of the status clock (the network time once the
  // latest save's probe has answered). A line longer than the label ends in "…" there; the whole
  // latest line is the label's tooltip.
  std::string StampStatus(const std::string& message) const;
  void ShowStatus(const std::string& message);
  HWND statusTip() const { return statusTip_; }

  // The clicked handlers (bound in command_bindings.cpp); all run on the window's thread.
  void ExtractTaobaoItem();
  void ExtractTmallItem();
  void ExtractJdItem();
  void ExtractAlibabaItem();
  // Saves the harvest on a worker thread; ignored unless the window is idle.
  void StartSave();
  // Empties the link box, the picture rows, the item id, video address and output folder, and the
  // three raw-data boxes. The cookie box, the browser and the status line keep what they hold.
  void ClearData();
  // Harvests and saves every link of a batch file (its bytes) in turn, as the platform buttons and
  // 下载数据 would, without a question per item, and writes 批量结果.txt into the output root after
  // each item (batch_commands.cpp). Ignored, with a word in the status line, unless the window is
  // idle. Meanwhile the platform, download and clear buttons are ignored. A results file it cannot
  // read stops it before its first item, with a message saying why.
  void StartBatch(std::string_view fileBytes);

  // Slide the help panel up into view (top 8) or back down out of sight (top 688).
  void ShowHelp();
  void HideHelp();
  // Wipe the panel's cookies, empty the cookie box and load the platform's login page.
  void LoadTaobaoLogin();
  void LoadAlibabaLogin();
  // A system-wide hot key pressed: runs the handler bound to the hot key registered under
  // `hotKeyId`; any other identifier is ignored. `detail` is unused.
  void OnHotKey(int hotKeyId, int detail);
  // The hot keys' handlers: Page Up widens the window to 1220, Page Down narrows it to 880.
  void WidenWindow();
  void NarrowWindow();

  // Animation frames: the value, truncated toward zero, becomes the window's outer width (top and
  // height kept; the left edge as the running width slide places it, else kept) or the help
  // panel's top (left kept).
  void ApplyWindowWidth(double value);
  void ApplyHelpTop(double value);

  // Adds one row per URL to images_列表框, after the rows the run has put there so far: column 0
  // the 1-based row number (rows are numbered in list order across runs), column 1 the URL, column
  // 2 kindLabel followed by the running number within this call (starting at 1). A run's rows go
  // where the rows of its link's earlier run stood, which it replaces, or after every row.
  void PublishPictures(const TextList& urls, const std::string& kindLabel) override;
  // Appends each text followed by "\r\n" at the end of 文本数据, all in one go.
  void AppendLines(const TextList& lines);

  // Dispatches the messages waiting for the window's thread (nothing on another thread): long work
  // on the window's thread calls it so the window keeps painting and answering. False once the
  // thread is to quit (the message is left for the message loop).
  bool PumpPendingMessages();

 private:
  struct CommandBinding {
    Control control;
    void (MainWindow::*clicked)();
    bool duringBatch = true;  // false: the click is ignored while a batch runs
  };
  // Every bound click (command_bindings.cpp); every other control event is ignored.
  static std::span<const CommandBinding> CommandBindings();
  struct HotKeyBinding {
    UINT virtualKey;
    void (MainWindow::*pressed)();
  };
  // The system-wide hot keys, registered in this order when the window is created
  // (command_bindings.cpp).
  static std::span<const HotKeyBinding> HotKeyBindings();
  // What takes a batch file's bytes: one dropped onto the window, or named at start
  // (command_bindings.cpp).
  using BatchFileHandler = void (MainWindow::*)(std::string_view fileBytes);
  static BatchFileHandler BatchFileBinding();

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  bool OnCreate(const CREATESTRUCTW& create);
  void OnCommand(int id, int notification);
  LRESULT OnCtlColor(UINT msg, HDC dc, HWND control);
  void OnHotKeyMessage(int id);
  void OnDropFiles(HDROP drop);
  void OnDestroy();
  void OnNcDestroy();

  void RunCreatedHandler();
  // The controls of the layout table, in its order (window_layout.cpp).
  void CreateControls(HINSTANCE instance);
  HWND CreateControl(int index, HINSTANCE instance);
  // What the command files use of the window (window_services.cpp).
  void CreateStatusTip();
  void ShowHelpPicture();
  int RegisterSystemHotKey(UINT virtualKey);
  int HotKeyId(UINT virtualKey) const;
  int Ask(const std::string& text, UINT buttons, const std::string& caption);
  // The text of one of the window's boxes (empty when the control does not exist).
  std::string BoxText(Control control) const;
  // A line already stamped goes into the status label as it is.
  void SetStatusLine(const std::string& line);
  // Where a save's and a batch's progress goes.
  ProgressDisplay& Progress();

  // What the platform's button does (extract_commands.cpp). The report, unless the run was refused
  // or cleared.
  std::optional<ExtractionReport> RunExtraction(Platform button);
  // The bytes of text lines a run of the link (its LinkIdentity) may add: the box's room, with the
  // lines of the link's earlier run, which it replaces, counted free (window_harvest.cpp).
  size_t TextRoomFor(const std::string& link) const;
  // Saves what the window holds on a worker (save_commands.cpp); false when no save started. Its
  // status lines carry `statusPrefix`; `ask`, when given, answers the final question instead of
  // the user.
  bool SaveHarvest(const std::string& statusPrefix,
                   std::function<bool(const std::string& question, const std::string& caption)> ask);
  // The batch's steps (batch_commands.cpp), each a task on the window's thread.
  void HarvestNextBatchLink();
  void OnBatchItemSaved(size_t index, const ExtractionReport& report);
  // Records the batch's results in 批量结果.txt, merged with what the file holds now; false when
  // it could not be read or written.
  bool WriteBatchResults();
  void ShowBatchProgress();
  void EndBatch();

  // The width keys' and the help panel's slides (command_handlers.cpp).
  void ResizeWindowTo(int targetWidth);
  void MoveHelpPanelTo(int targetTop);
  // The login buttons (login_commands.cpp).
  void LoadLoginPage(const std::string& page);

  // HarvestSink: what an extraction finds goes into the controls and the harvest state. A run's
  // delivery first takes out what its link's earlier run put into the list and the text box.
  void DeliveryStarts() override;
  void DeliveryEnds() override;
  void AppendText(const std::string& text) override;
  void SetDescriptionUrl(const std::string& url) override;
  void SetDescriptionPage(const std::string& page) override;
  void SetItemId(const std::string& id) override;
  void SetVideoUrl(const std::string& url) override;
  void SetVideoName(const std::string& name) override;

  WindowConfig config_;
  std::string outputRoot_;
  HWND window_ = nullptr;
  DWORD windowThread_ = 0;
  HWND controls_[static_cast<size_t>(Control::Count)] = {};
  std::vector<int> hotKeyIds_;  // one per HotKeyBindings() entry: its identifier, 0 when not registered
  int nextHotKeyId_ = 0;
  HWND statusTip_ = nullptr;  // the status line's tooltip, owned by the window
  // The running width slide's plan for the left edge; and, while a slide has moved the window from
  // where it stood, that place and the left edge the slide left it at (a window moved by hand
  // since stays where it was put).
  std::optional<WidthSlidePlan> widthSlide_;
  struct MovedBySlide {
    int home;
    int left;
  };
  std::optional<MovedBySlide> movedBySlide_;
  GdiObject<HBRUSH> cookieBackground_;
  GdiObject<HBITMAP> helpBitmap_;
  HarvestState harvest_;
  // The link of the extraction under way (its LinkIdentity), and where its delivery puts rows and
  // text: the link's entry in harvest_.links, the next row and the next character of the text box.
  std::string runLink_;
  struct Delivery {
    size_t link = 0;
    int nextRow = 0;
    size_t textAt = 0;
  };
  std::optional<Delivery> delivery_;
  Delivery LooseDelivery();
  ExtractionGate gate_;
  // Requested as the window goes: an extraction under way abandons its fetches and ends. Shared
  // with the fetches, which may outlive the window.
  std::shared_ptr<StopSignal> closing_ = std::make_shared<StopSignal>();
  StatusClock clock_;
  std::unique_ptr<SaveRun> save_;
  // The batch under way: where it stands, and the results file as it last wrote it.
  struct BatchRun {
    BatchProgress progress;
    std::string lastWritten;
  };
  std::unique_ptr<BatchRun> batch_;
  // The taskbar button's progress, when the config names no other display.
  std::unique_ptr<TaskbarProgress> taskbar_;
  // Names of items harvested in the same second stay apart.
  DistinctNames harvestTimes_;
};
