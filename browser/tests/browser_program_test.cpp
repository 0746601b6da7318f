// The panel in a program of its own (browser_host.exe), which finds node.dll in its own folder:
// each test lays out a program folder, runs the host there and reads what it and the engine
// logged.
#include <gtest/gtest.h>

#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"

namespace {

constexpr DWORD kRunTimeoutMs = 30000;
constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/69.0.2228.0 Safari/537.36";

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
  std::string ControlHandle() const {
    std::vector<std::string> created = LinesStartingWith(Log(), {"created\t"});
    return created.empty() ? "(none)" : created.front().substr(8);
  }

  // The folder name holds GBK characters, as a user's program folder may.
  TempFolder program_{"岚栩图片工具"};
};

TEST_F(BrowserProgramTest, StartUpCreatesTheViewLoadsTheLoginPageThenClearsCookies) {
  Install(BrowserTestFile("wke_recorder.dll"));
  Run({"report"});
  std::vector<std::string> expected = {
      "wkeInitializeEx\t(null)",
      "wkeCreateWebWindow\tview1\t2\t" + ControlHandle() + "\t0\t0\t346\t408",
      std::string("wkeSetUserAgent\tview1\t") + kUserAgent,
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
      "created\t" + ControlHandle(),
      "wkeClearCookie\tview1",
      "started",
  };
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(JoinLines({log.begin(), log.begin() + static_cast<std::ptrdiff_t>(expected.size())}),
            JoinLines(expected));
  EXPECT_TRUE(LinesStartingWith(log, {"message\t"}).empty());

  std::vector<std::string> reports = LinesStartingWith(log, {"report\t"});
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(Field(reports[0], "class"), "JYwkeCtrl");
  EXPECT_EQ(Field(reports[0], "id"), "1001");
  EXPECT_EQ(Field(reports[0], "rect"), "10,16,346,408");
  EXPECT_EQ(Field(reports[0], "tabstop"), "1");
  EXPECT_EQ(Field(reports[0], "address"), "https://login.taobao.com/");
}

TEST_F(BrowserProgramTest, LoginButtonsClearCookiesEmptyTheCookieBoxThenLoadTheirPage) {
  Install(BrowserTestFile("wke_recorder.dll"));
  Run({"cookie=_tb_token_=abc; cookie2=1", "taobao", "report", "cookie=x=1", "alibaba", "report", "alibaba"});
  std::vector<std::string> log = Log();
  auto started = std::find(log.begin(), log.end(), "started");
  ASSERT_NE(started, log.end());
  std::vector<std::string> afterStart(started + 1, log.end());
  std::vector<std::string> expected = {
      "done\tcookie=_tb_token_=abc; cookie2=1",
      "wkeClearCookie\tview1",
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
      "done\ttaobao",
      "done\treport",
      "done\tcookie=x=1",
      "wkeClearCookie\tview1",
      "wkeLoadURL\tview1\thttps://login.1688.com/",
      "done\talibaba",
      "done\treport",
      // Pressed again while the page may still be loading: the load is simply replaced.
      "wkeClearCookie\tview1",
      "wkeLoadURL\tview1\thttps://login.1688.com/",
      "done\talibaba",
      "wkeDestroyWebWindow\tview1",
      "closed",
  };
  EXPECT_EQ(JoinLines(LinesStartingWith(afterStart, {"done", "wke", "closed"})), JoinLines(expected));

  std::vector<std::string> reports = LinesStartingWith(log, {"report\t"});
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(Field(reports[0], "cookie"), "");
  EXPECT_EQ(Field(reports[0], "address"), "https://login.taobao.com/");
  EXPECT_EQ(Field(reports[1], "cookie"), "");
  EXPECT_EQ(Field(reports[1], "address"), "https://login.1688.com/");
}

TEST_F(BrowserProgramTest, MissingEngineIsReportedWithItsFullPathAndThePanelStaysEmpty) {
  Install("");
  Run({"cookie=a=1", "report", "taobao", "report"});
  std::vector<std::string> log = Log();
  std::vector<std::string> messages = LinesStartingWith(log, {"message\t"});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "message\t错误\t请把node.dll放在[" + program_.File("node.dll") + "]位置");

  // The message comes before the panel exists; everything else still works.
  auto message = std::find(log.begin(), log.end(), messages[0]);
  auto created = std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("created", 0) == 0; });
  EXPECT_LT(message, created);
  EXPECT_NE(ControlHandle(), "0");
  std::vector<std::string> reports = LinesStartingWith(log, {"report\t"});
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(Field(reports[0], "class"), "JYwkeCtrl");
  EXPECT_EQ(Field(reports[0], "rect"), "10,16,346,408");
  EXPECT_EQ(Field(reports[0], "children"), "");
  EXPECT_EQ(Field(reports[0], "cookie"), "a=1");
  EXPECT_EQ(Field(reports[1], "cookie"), "");
  EXPECT_EQ(Field(reports[1], "address"), "https://login.taobao.com/");
  EXPECT_EQ(log.back(), "closed");
}

TEST_F(BrowserProgramTest, EngineOutsideTheProgramFolderIsFoundByTheLibrarySearch) {
  Install("");
  TempFolder elsewhere("engine_elsewhere");
  ASSERT_TRUE(CopyInto(BrowserTestFile("wke_recorder.dll"), elsewhere.File("node.dll")));
  // The working folder is part of the library search.
  Run({"taobao"}, elsewhere.path());
  EXPECT_EQ(LinesStartingWith(Log(), {"message\t"}).size(), 1u);
  std::vector<std::string> calls = LinesStartingWith(ReadLines(elsewhere.File("calls.log")),
                                                     {"wkeInitializeEx", "wkeLoadURL", "wkeClearCookie"});
  std::vector<std::string> expected = {
      "wkeInitializeEx\t(null)",
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
      "wkeClearCookie\tview1",  // start-up
      "wkeClearCookie\tview1",  // the login button
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
  };
  EXPECT_EQ(JoinLines(calls), JoinLines(expected));
}

TEST_F(BrowserProgramTest, EngineLackingFunctionsIsReportedPerFunctionAndTheProgramGoesOn) {
  Install(BrowserTestFile("wke_recorder_partial.dll"));
  Run({"taobao", "address=", "report"});
  std::vector<std::string> log = Log();
  std::vector<std::string> expected = {
      "message\twkeInitializeEx\twke api not found",
      "message\twkeClearCookie\twke api not found",
      "message\twkeSetUserAgent\twke api not found",
      "wkeCreateWebWindow\tview1\t2\t" + ControlHandle() + "\t0\t0\t346\t408",
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
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

    ProcessResult result = RunProgram(program.File("browser_host.exe"), {"taobao", "report"}, program.path(),
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
  Run({"report", "taobao", "pump=300", "alibaba", "address=", "pump=300", "focus", "resize=300,200", "pump=100",
       "report", "destroy", "pump=100"});
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
