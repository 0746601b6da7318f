// The document mode node.dll asks the system's browser control for: the setting itself on a key
// of this test's own, then the real program at start-up, also with a key that refuses the write
// (which Wine does refuse, as the test checks first).
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "app/main_window.h"
#include "browser/login_browser.h"
#include "browser/tests/browser_test_support.h"
#include "node_engine/browser_emulation.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/handles.h"
#include "tests/support/message_pump.h"
#include "tests/support/window_support.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;
constexpr char kWelcomeCaption[] = "【岚栩】- 这是一个提示！";

struct Stored {
  DWORD type = REG_NONE;  // REG_NONE: no such value
  DWORD number = 0;
  bool operator==(const Stored&) const = default;
};

Stored ReadValue(const std::wstring& key, const std::wstring& name) {
  Stored stored;
  BYTE data[64] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, &stored.type, data, &size) !=
      ERROR_SUCCESS)
    return {};
  if (stored.type == REG_DWORD) std::memcpy(&stored.number, data, sizeof stored.number);
  return stored;
}

void WriteValue(const std::wstring& key, const std::wstring& name, const Stored& value) {
  HKEY opened = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
            ERROR_SUCCESS);
  const RegistryKey owner(opened);
  if (value.type == REG_DWORD) {
    ASSERT_EQ(RegSetValueExW(opened, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                             sizeof value.number),
              ERROR_SUCCESS);
  } else if (value.type == REG_SZ) {
    const wchar_t text[] = L"11001";
    ASSERT_EQ(RegSetValueExW(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
  }
}

void DeleteValue(const std::wstring& key, const std::wstring& name) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str());
}

// While it lives, the key refuses KEY_SET_VALUE to everyone (its owner may still change its
// security); afterwards it has its old security back.
class ReadOnlyKey {
 public:
  explicit ReadOnlyKey(const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, READ_CONTROL | WRITE_DAC, &opened) != ERROR_SUCCESS) return;
    key_.reset(opened);
    DWORD size = 0;
    RegGetKeySecurity(opened, DACL_SECURITY_INFORMATION, nullptr, &size);
    old_.resize(size);
    if (RegGetKeySecurity(opened, DACL_SECURITY_INFORMATION, old_.data(), &size) != ERROR_SUCCESS) return;
    PSECURITY_DESCRIPTOR refusing = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                              &refusing, nullptr))
      return;
    applied_ = RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, refusing) == ERROR_SUCCESS;
    LocalFree(refusing);
  }
  ~ReadOnlyKey() {
    if (applied_) RegSetKeySecurity(key_.get(), DACL_SECURITY_INFORMATION, old_.data());
  }
  ReadOnlyKey(const ReadOnlyKey&) = delete;
  ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
  bool applied() const { return applied_; }

 private:
  RegistryKey key_;
  std::vector<BYTE> old_;
  bool applied_ = false;
};

// Whether the system really refuses writing a value into the key.
bool RefusesWrites(const std::wstring& key) {
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &opened);
  if (status == ERROR_SUCCESS) RegCloseKey(opened);
  return status == ERROR_ACCESS_DENIED;
}

void PrintTo(const Stored& stored, std::ostream* out) {
  if (stored.type == REG_NONE) *out << "(missing)";
  else if (stored.type == REG_DWORD) *out << "DWORD " << stored.number;
  else *out << "a value of type " << stored.type;
}

constexpr Stored Missing{};
constexpr Stored Mode(DWORD number) { return {REG_DWORD, number}; }
constexpr Stored Text{REG_SZ, 0};

class DocumentModeSettingTest : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str()); }
  const std::wstring root_ = L"Software\\PictureToolDocumentModeTest" + std::to_wstring(GetCurrentProcessId());
  const std::wstring key_ = root_ + L"\\FEATURE_BROWSER_EMULATION";
};

TEST_F(DocumentModeSettingTest, OnlyAMissingOrLowerSettingIsRaisedAndNothingElseChanges) {
  struct Row {
    const char* what;
    Stored before, after;
  } rows[] = {
      {"missing", Missing, Mode(11001)},
      {"the oldest mode", Mode(7000), Mode(11001)},
      {"standards mode by doctype", Mode(11000), Mode(11001)},
      {"already asked for", Mode(11001), Mode(11001)},
      {"a newer mode", Mode(12001), Mode(12001)},
      {"not a number", Text, Mode(11001)},
  };
  for (const Row& row : rows) {
    RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());  // the first time the key itself is missing
    WriteValue(key_, L"other.exe", Mode(8000));
    WriteValue(key_, L"货图匣.exe", row.before);
    EXPECT_TRUE(AskForDocumentMode(HKEY_CURRENT_USER, key_, L"货图匣.exe", kNewestDocumentMode)) << row.what;
    EXPECT_EQ(ReadValue(key_, L"货图匣.exe"), row.after) << row.what;
    EXPECT_EQ(ReadValue(key_, L"other.exe"), Mode(8000)) << row.what;
  }
}

BOOL CALLBACK MatchPanel(HWND window, LPARAM found) {
  if (WindowClassName(window) != WideToGbk(kBrowserClassName)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The login panel among a window's descendants, or null.
HWND PanelOf(HWND window) {
  HWND panel = nullptr;
  EnumChildWindows(window, MatchPanel, reinterpret_cast<LPARAM>(&panel));
  return panel;
}

// The real program with our node.dll, under a file name of its own (GBK, as a user may rename it).
class ProgramDocumentModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyInto(BinFile("PictureTool.exe"), folder_.File(WideToGbk(programName_))));
    ASSERT_TRUE(CopyInto(BinFile("node.dll"), folder_.File("node.dll")));
    DeleteValue(kBrowserEmulationKey, programName_);
  }
  void TearDown() override { DeleteValue(kBrowserEmulationKey, programName_); }

  // Starts the program, answers its message boxes up to the welcome and returns its main window.
  HWND Start() {
    program_ = std::make_unique<RunningProgram>(folder_.File(WideToGbk(programName_)), std::vector<std::string>{},
                                                folder_.path());
    if (!program_->started()) return nullptr;
    const bool welcomed = PumpUntil(
        [&] {
          HWND box = TopLevelOf(program_->id(), L"#32770");
          if (!box || GetControlText(box).empty()) return false;  // not yet, or still being built
          const std::string caption = GetControlText(box);
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          PumpUntil([&] { return !IsWindow(box); }, kStepTimeoutMs);
          return caption == kWelcomeCaption;
        },
        kStartTimeoutMs);
    if (!welcomed) return nullptr;
    return TopLevelOf(program_->id(), kMainWindowClass);
  }
  void CloseAndExpectCleanEnd(HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_->Wait(kStepTimeoutMs, &exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
  }

  const std::wstring programName_ = L"货图匣" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  TempFolder folder_{"岚栩文档模式"};
  std::unique_ptr<RunningProgram> program_;
};

TEST_F(ProgramDocumentModeTest, StartingTheProgramAsksForTheNewestModeUnderItsFileName) {
  HWND main = Start();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WindowClassName(GetWindow(PanelOf(main), GW_CHILD)), "NodeEngineView");
  EXPECT_EQ(ReadValue(kBrowserEmulationKey, programName_), Mode(kNewestDocumentMode));
  CloseAndExpectCleanEnd(main);
}

TEST_F(ProgramDocumentModeTest, AUserKeyThatRefusesTheWriteChangesNothingAndTheWindowAppears) {
  WriteValue(kBrowserEmulationKey, programName_, Mode(7000));
  ReadOnlyKey readOnly(kBrowserEmulationKey);
  ASSERT_TRUE(readOnly.applied());
  ASSERT_TRUE(RefusesWrites(kBrowserEmulationKey));
  HWND main = Start();
  ASSERT_NE(main, nullptr) << "no main window";
  EXPECT_EQ(WindowClassName(GetWindow(PanelOf(main), GW_CHILD)), "NodeEngineView");
  EXPECT_EQ(ReadValue(kBrowserEmulationKey, programName_), Mode(7000));
  CloseAndExpectCleanEnd(main);
}

}  // namespace
