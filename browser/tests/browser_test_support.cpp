#include "browser/tests/browser_test_support.h"

#include <atomic>

#include "runtime/codepage.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"

TempFolder::TempFolder(const std::string& nameHint) {
  static std::atomic<int> counter{0};
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring base = temp;
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  std::wstring path = base + L"\\" + GbkToWide(nameHint) + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                      std::to_wstring(++counter);
  RemoveTree(WideToGbk(path) + "\\");
  CreateDirectoryW(path.c_str(), nullptr);
  path_ = WideToGbk(path);
}

TempFolder::~TempFolder() { RemoveTree(path_ + "\\"); }

bool CopyInto(const std::string& from, const std::string& to) {
  return CopyFileW(GbkToWide(from).c_str(), GbkToWide(to).c_str(), FALSE) != 0;
}

std::string BrowserTestFile(const std::string& name) {
  return WideToGbk(WinePathOf(BinaryDir() + "/browser/" + name));
}

std::string BinFile(const std::string& name) { return WideToGbk(WinePathOf(BinaryDir() + "/bin/" + name)); }

namespace {

std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args) {
  std::wstring commandLine = L"\"" + GbkToWide(program) + L"\"";
  for (const std::string& arg : args) commandLine += L" \"" + GbkToWide(arg) + L"\"";
  return commandLine;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::string& workingFolder) {
  std::wstring commandLine = CommandLine(program, args);
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(GbkToWide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      GbkToWide(workingFolder).c_str(), &startup, &process))
    return;
  CloseHandle(process.hThread);
  process_ = process.hProcess;
  id_ = process.dwProcessId;
}

RunningProgram::~RunningProgram() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 5000);
  }
  CloseHandle(process_);
}

bool RunningProgram::Wait(DWORD timeoutMs, DWORD* exitCode) {
  if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
  if (exitCode) GetExitCodeProcess(process_, exitCode);
  return true;
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingFolder, DWORD timeoutMs) {
  std::wstring commandLine = CommandLine(program, args);
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  ProcessResult result;
  if (!CreateProcessW(GbkToWide(program).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      GbkToWide(workingFolder).c_str(), &startup, &process))
    return result;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(process.hProcess, &result.exitCode);
  } else {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  HANDLE file = CreateFileW(GbkToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return lines;
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::vector<std::string>& prefixes) {
  std::vector<std::string> out;
  for (const std::string& line : lines)
    for (const std::string& prefix : prefixes)
      if (line.rfind(prefix, 0) == 0) {
        out.push_back(line);
        break;
      }
  return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}
