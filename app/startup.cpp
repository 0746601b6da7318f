#include "app/startup.h"

#include <windows.h>
#include <shellapi.h>

#include "batch/batch_file.h"
#include "config/hosts_file.h"
#include "effects/ease_animator.h"
#include "effects/shadow.h"
#include "effects/skin.h"
#include "http/page_charset.h"
#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "text/text_items.h"

namespace {

// A hosts file or a cookie is a few lines; anything far larger is neither.
constexpr size_t kMaxHostsFileBytes = 1 << 20;

// A cookie file's text, GBK or UTF-8, as the cookie box takes it.
void ReadCookieFile(const std::wstring& path, StartupSettings& settings) {
  std::string bytes;
  if (!ReadSmallFile(path, kMaxHostsFileBytes, bytes)) {
    settings.problems.push_back("无法读取Cookie文件：" + WideToGbk(path));
    return;
  }
  settings.config.cookie = TrimBlanks(TextFileAsGbk(bytes, Utf8PageText));
}

void ReadBatchFile(const std::wstring& path, StartupSettings& settings) {
  std::string bytes;
  if (!ReadSmallFile(path, kMaxBatchFileBytes, bytes)) {
    settings.problems.push_back("无法读取批量文件：" + WideToGbk(path));
    return;
  }
  settings.config.batchFile = std::move(bytes);
}

void ReadHostsFile(const std::wstring& path, StartupSettings& settings) {
  std::string text;
  if (!ReadSmallFile(path, kMaxHostsFileBytes, text)) {
    settings.problems.push_back("无法读取主机文件：" + WideToGbk(path));
    return;
  }
  const HostsFileReading reading = ReadHostsText(text, settings.config.hosts);
  settings.config.hosts = reading.hosts;
  if (!reading.problems.empty())
    settings.problems.push_back("主机文件 " + WideToGbk(path) + "：\r\n" + DescribeHostsProblems(reading.problems));
}

}  // namespace

void ConstructGlobalObjects() { CreateEasingSlots(); }

void ReleaseGlobalObjects() {
  ReleaseSkin();
  ReleaseEasingSlots();
}

// The one GDI+ start-up of the process: the drop shadow's own start-up request finds it done.
void StartGdiPlusAtStartup() { StartGdiPlus(); }

void LoadSkinEngineAtStartup() { LoadSkinEngine(); }

StartupSettings ReadStartupSettings(const wchar_t* commandLine) {
  StartupSettings settings;
  int count = 0;
  wchar_t** args = commandLine && *commandLine ? CommandLineToArgvW(commandLine, &count) : nullptr;
  // The first argument is the program itself.
  for (int i = 1; args && i < count; ++i) {
    const std::wstring arg = args[i];
    if (arg == L"--hosts" && i + 1 < count) {
      ReadHostsFile(args[++i], settings);
    } else if (arg == L"--hosts") {
      settings.problems.push_back("--hosts 后面缺少主机文件的路径");
    } else if (arg == L"--batch" && i + 1 < count) {
      ReadBatchFile(args[++i], settings);
    } else if (arg == L"--batch") {
      settings.problems.push_back("--batch 后面缺少批量文件的路径");
    } else if (arg == L"--cookie-file" && i + 1 < count) {
      ReadCookieFile(args[++i], settings);
    } else if (arg == L"--cookie-file") {
      settings.problems.push_back("--cookie-file 后面缺少Cookie文件的路径");
    } else {
      settings.problems.push_back("未知的命令行参数：" + WideToGbk(arg));
    }
  }
  if (args) LocalFree(args);
  return settings;
}

void TellStartupProblems(const std::vector<std::string>& problems, const MessageBoxAnswerer& answer) {
  if (problems.empty()) return;
  std::string text;
  for (const std::string& p : problems) text += (text.empty() ? "" : "\r\n\r\n") + p;
  text += "\r\n\r\n以上设置未被采用。";
  AskUser(answer, MessageBoxRequest{text, "【岚栩】- 启动参数", MB_OK, nullptr});
}
