// The download button: the window's snapshot of the harvest goes to a save on its own thread, whose
// status lines come back to the window's status line through its task messages.
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "runtime/controls.h"
#include "runtime/ui_task.h"

namespace {

constexpr char kNothingToSave[] = "列表里没有图片，请先获取商品数据（下载数据）";

}  // namespace

void MainWindow::StartSave() {
  // A save pairs the rows and the item id of one harvest: not while an extraction is still adding
  // to them. One save at a time.
  if (activity() != Activity::Idle) return;
  SaveHarvest({}, {});
}

bool MainWindow::SaveHarvest(const std::string& statusPrefix,
                             std::function<bool(const std::string& question, const std::string& caption)> ask) {
  HWND list = control(Control::images_列表框);
  std::vector<SaveRow> rows;
  const int count = list ? ListViewRowCount(list) : 0;
  for (int i = 0; i < count; ++i) rows.push_back({ListViewCell(list, i, 1), ListViewCell(list, i, 2)});
  // Nothing harvested: no folder, no text file, no question.
  if (rows.empty()) {
    ShowStatus(kNothingToSave);
    return false;
  }
  SaveJob job = PlanSave(outputRoot_, harvest_.itemId, harvest_.videoUrl, std::move(rows), BoxText(Control::文本数据),
                         harvest_.videoName);
  harvest_.outputFolder = job.outputFolder;

  // One time probe per save, from its start; the status lines never wait for it.
  clock_ = StatusClock::Probing(TimeProbeUrl(config_.hosts.timeProbeHost));
  SaveEffects effects;
  // Stamped when the worker reports, shown when the window's thread comes to it.
  effects.showStatus = [this, window = window_, clock = clock_, statusPrefix](const std::string& message) {
    PostUiTask(window, [this, line = clock.Stamp(statusPrefix + message)] { SetStatusLine(line); });
  };
  // A batch shows its items' progress, not each save's pictures.
  const bool alone = !ask;
  const int pictures = static_cast<int>(job.rows.size());
  if (alone) {
    effects.showProgress = [this, window = window_](int done, int total, bool failed) {
      PostUiTask(window, [this, done, total, failed] { Progress().ShowProgress(done, total, failed); });
    };
    ask = [this, window = window_, answer = config_.answer](const std::string& question, const std::string& caption) {
      // Asked from the worker, whose thread owns no window: the box comes to the front itself, or
      // it may open behind the main window.
      const bool yes =
          AskUser(answer, MessageBoxRequest{question, caption, MB_YESNO | MB_SETFOREGROUND, nullptr}) == kPressedYes;
      PostUiTask(window, [this] { Progress().EndProgress(); });
      return yes;
    };
  }
  effects.ask = std::move(ask);
  effects.openFolder = config_.openFolder ? config_.openFolder : OpenFolderInShell;
  save_ = ::StartSave(std::move(job), std::move(effects));
  // Before any report of the worker: those come as tasks of this thread.
  if (alone && save_) Progress().ShowProgress(0, pictures, false);
  return save_ != nullptr;
}
