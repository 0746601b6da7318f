// The panel in a program of its own (browser_host.exe), which finds node.dll in its own folder:
// each test lays out a program folder, runs the host there and reads what it and the engine
// logged.
#include <gtest/gtest.h>

#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"

namespace {

constexpr DWORD kRunTimeoutMs = 30000;

// The value of "name=" in a tab-separated report line.
std::string Field(const std::string& line, const std::string& name) {
  size_t start = line.find("\t" + name + "=");
  if (start == std::string::npos) return "(missing)";
  start += name.size() + 2;
  size_t end = line.find('\t', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class BrowserProgramTest : public ::testing::Test {
 protected:
  // Lays out the program folder: the host, and the given engine file as node.dll (none if empty).
  void Install(const std::string& engineFile) {
    ASSERT_TRUE(CopyInto(BrowserTestFile("browser_host.exe"), Host()));
    if (!engineFile.empty()) {
      ASSERT_TRUE(CopyInto(engineFile, program_.File("node.dll")));
    }
  }
  std::string Host() const { return program_.File("browser_host.exe"); }
  void Run(const std::vector<std::string>& actions, const std::string& workingFolder = {}) {
    ProcessResult result = RunProgram(Host(), actions, workingFolder.empty() ? program_.path() : workingFolder,
                                      kRunTimeoutMs);
    ASSERT_TRUE(result.finished) << "the program did not end in time";
    EXPECT_EQ(result.exitCode, 0u);
  }
  std::vector<std::string> Log() const { return ReadLines(program_.File("calls.log")); }
  std::string PanelHandle() const {
    std::vector<std::string> created = LinesStartingWith(Log(), {"created\t"});
    return created.empty() ? "(none)" : created.front().substr(8);
  }

  // The folder name holds GBK characters, as a user's program folder may.
  TempFolder program_{"岚栩图片工具"};
};

TEST_F(BrowserProgramTest, EngineOutsideTheProgramFolderIsNeverLoaded) {
  Install("");
  TempFolder elsewhere("engine_elsewhere");
  ASSERT_TRUE(CopyInto(BrowserTestFile("wke_recorder.dll"), elsewhere.File("node.dll")));
  // The working folder is part of the library search: a library of that name there is still not
  // the program's engine.
  Run({"clear", "address=https://login.1688.com/", "report"}, elsewhere.path());
  std::vector<std::string> log = Log();
  std::vector<std::string> messages = LinesStartingWith(log, {"message\t"});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "message\t错误\t请把node.dll放在[" + program_.File("node.dll") + "]位置");
  EXPECT_TRUE(ReadLines(elsewhere.File("calls.log")).empty()) << "the library elsewhere was loaded";
  std::vector<std::string> reports = LinesStartingWith(log, {"report\t"});
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Field(reports[0], "children"), "");
  EXPECT_EQ(Field(reports[0], "address"), "https://login.1688.com/");
  EXPECT_EQ(log.back(), "closed");
}

TEST_F(BrowserProgramTest, EngineLackingFunctionsIsReportedPerFunctionAndTheProgramGoesOn) {
  Install(BrowserTestFile("wke_recorder_partial.dll"));
  Run({"clear", "address=https://login.1688.com/", "address=", "report"});
  std::vector<std::string> log = Log();
  std::vector<std::string> expected = {
      "message\twkeInitializeEx\twke api not found",
      "message\twkeClearCookie\twke api not found",
      "message\twkeSetUserAgent\twke api not found",
      "wkeCreateWebWindow\tview1\t2\t" + PanelHandle() + "\t0\t0\t346\t408",
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
      "wkeLoadURL\tview1\thttps://login.1688.com/",
      "wkeLoadHTML\tview1\t[ ]",
      "wkeDestroyWebWindow\tview1",
  };
  EXPECT_EQ(JoinLines(LinesStartingWith(log, {"message", "wke"})), JoinLines(expected));
  EXPECT_EQ(log.back(), "closed");
}

TEST_F(BrowserProgramTest, EngineFilesThatAreNoLibraryFailQuietly) {
  struct Row {
    const char* what;
    std::string bytes;
  } rows[] = {
      {"empty", ""},
      {"text", "not a library"},
      {"truncated image", std::string("MZ\x90\0\3\0\0\0", 8) + std::string(200, '\0')},
  };
  for (const Row& row : rows) {
    TempFolder program("坏引擎");
    ASSERT_TRUE(CopyInto(BrowserTestFile("browser_host.exe"), program.File("browser_host.exe")));
    HANDLE file = CreateFileW(GbkToWide(program.File("node.dll")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, row.bytes.data(), static_cast<DWORD>(row.bytes.size()), &written, nullptr);
    CloseHandle(file);

    ProcessResult result = RunProgram(program.File("browser_host.exe"), {"clear", "report"}, program.path(),
                                      kRunTimeoutMs);
    ASSERT_TRUE(result.finished) << row.what;
    EXPECT_EQ(result.exitCode, 0u) << row.what;
    std::vector<std::string> log = ReadLines(program.File("calls.log"));
    // The file is there, so there is nothing to report; the panel is simply empty.
    EXPECT_TRUE(LinesStartingWith(log, {"message\t"}).empty()) << row.what;
    std::vector<std::string> reports = LinesStartingWith(log, {"report\t"});
    ASSERT_EQ(reports.size(), 1u) << row.what;
    EXPECT_EQ(Field(reports[0], "class"), "JYwkeCtrl") << row.what;
    EXPECT_EQ(Field(reports[0], "children"), "") << row.what;
    EXPECT_EQ(Field(reports[0], "address"), "https://login.taobao.com/") << row.what;
  }
}

TEST_F(BrowserProgramTest, OurEngineRunsThePanelWithoutBlockingEvenWithoutAnHtmlEngine) {
  Install(BinFile("node.dll"));
  Run({"report", "clear", "address=https://login.1688.com/", "pump=300", "address=", "pump=300", "focus",
       "resize=300,200", "pump=100", "report", "destroy", "pump=100"});
  std::vector<std::string> log = Log();
  EXPECT_TRUE(LinesStartingWith(log, {"message\t"}).empty());
  std::vector<std::string> reports = LinesStartingWith(log, {"report\t"});
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(Field(reports[0], "class"), "JYwkeCtrl");
  EXPECT_EQ(Field(reports[0], "children"), "NodeEngineView");
  EXPECT_EQ(Field(reports[0], "rect"), "10,16,346,408");
  EXPECT_EQ(Field(reports[0], "viewsize"), "346,408");
  EXPECT_EQ(Field(reports[1], "rect"), "10,16,300,200");
  EXPECT_EQ(Field(reports[1], "viewsize"), "300,200");
  EXPECT_EQ(Field(reports[1], "address"), "");
  EXPECT_EQ(log.back(), "closed");
}

}  // namespace
