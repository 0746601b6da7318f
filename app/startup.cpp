#include "app/startup.h"

#include <windows.h>
#include <shellapi.h>

#include "config/hosts_file.h"
#include "effects/ease_animator.h"
#include "effects/shadow.h"
#include "effects/skin.h"
#include "runtime/codepage.h"
#include "runtime/handles.h"

namespace {

// A hosts file is a few lines; anything far larger is not one.
constexpr DWORD kMaxHostsFileBytes = 1 << 20;

bool ReadSmallFile(const std::wstring& path, std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxHostsFileBytes) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                         got != bytes.size()))
    return false;
  return true;
}

void ReadHostsFile(const std::wstring& path, StartupSettings& settings) {
  std::string text;
  if (!ReadSmallFile(path, text)) {
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
