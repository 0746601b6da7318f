// The saver and the status line bound to the main window: its list, text box and status label,
// the program's output root and the shell.
#include "app/main_window.h"
#include "runtime/controls.h"
#include "save/network_time.h"
#include "save/saver.h"

void ShowStatus(const std::string& message) {
  ShowStatus(message, DefaultTimeProbeUrl(),
             [](const std::string& line) { SetControlText(ControlHandle(Control::岚栩_tim), line); });
}

void StartSave() {
  SaveSources sources;
  sources.outputRoot = OutputRoot();
  sources.list = ControlHandle(Control::images_列表框);
  sources.textBox = ControlHandle(Control::文本数据);
  sources.effects.showStatus = [](const std::string& message) { ShowStatus(message); };
  sources.effects.openFolder = OpenFolderInShell;
  StartSave(sources);
}
