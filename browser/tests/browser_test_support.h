#pragma once
// Program folders, processes and call logs for the browser tests.

#include <windows.h>

#include <string>
#include <vector>

// A fresh folder under the temporary folder (GBK path), removed with its files at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::string& nameHint);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

bool CopyInto(const std::string& from, const std::string& to);
// A file built with the browser tests: the engine doubles and the host program.
std::string BrowserTestFile(const std::string& name);
// The Windows path of the build's bin folder file (the program and our node.dll).
std::string BinFile(const std::string& name);

struct ProcessResult {
  bool finished = false;  // false: still running at the deadline, then killed
  DWORD exitCode = 0;
};
// Starts a program with arguments in a working folder and waits at most timeoutMs.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workingFolder, DWORD timeoutMs);

// A program started in the background; killed at the end unless it has ended by itself.
class RunningProgram {
 public:
  RunningProgram(const std::string& program, const std::vector<std::string>& args,
                 const std::string& workingFolder);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;
  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  // Waits at most timeoutMs for the end; true with the exit code when it ended.
  bool Wait(DWORD timeoutMs, DWORD* exitCode);

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// The lines of a log file (GBK), without their line ends; none when the file is missing.
std::vector<std::string> ReadLines(const std::string& path);
// The lines that start with one of the prefixes, in order.
std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::vector<std::string>& prefixes);
std::string JoinLines(const std::vector<std::string>& lines);
