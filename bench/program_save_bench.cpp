// Times saves of the real program from the outside, as a person would see them:
//   bench_program_save.exe <folder> <rows> <picture bytes> <offer link> <item id> <second offer link>
//                          <second item id>
// <folder> (a Windows path) holds PictureTool.exe, node.dll and hosts.txt; the program is started
// there with --hosts hosts.txt. It harvests the first offer (<rows> pictures), presses 下载数据 and
// times until the final question, which it answers No. Then it clears, harvests the second offer,
// presses 下载数据 again, closes the window once a few of its pictures are saved, times until the
// process has ended, and looks in the second item's folder for partial files: temporary ".part"
// files and pictures of another size than <picture bytes> and their four bytes.
// Prints its figures and lines "RESULT_QUESTION <s>" and "RESULT_CLOSE <s> <saved> <partial>".
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "tests/e2e/program_window.h"
#include "tests/support/test_files.h"
#include "tests/support/window_support.h"

namespace {

constexpr DWORD kPatienceMs = 120000;
constexpr size_t kSavedBeforeClose = 6;

double NowSeconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Fail(const char* what) {
  std::fprintf(stderr, "bench_program_save: %s\n", what);
  return 1;
}

size_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(GbkToWide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return data.nFileSizeLow;
}

size_t Pictures(const std::string& folder) {
  size_t n = 0;
  for (const std::string& name : ListFolder(folder)) n += name.ends_with(".jpg");
  return n;
}

bool Harvest(HWND main, const std::string& link, int rows) {
  SetControlText(ControlOf(main, Control::url), link);
  if (!PressButton(ControlOf(main, Control::阿里_按钮), kPatienceMs)) return false;
  RemoteListView list(ControlOf(main, Control::images_列表框));
  return WaitFor([&] { return list.Rows() == rows; }, kPatienceMs);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 8) return Fail("usage: <folder> <rows> <picture bytes> <offer> <item id> <offer 2> <item id 2>");
  const std::string folder = WideToGbk(argv[1]);
  const int rows = _wtoi(argv[2]);
  const size_t pictureBytes = static_cast<size_t>(_wtoi(argv[3]));
  const std::string offers[] = {WideToGbk(argv[4]), WideToGbk(argv[6])};
  const std::string items[] = {WideToGbk(argv[5]), WideToGbk(argv[7])};
  const std::string root = folder + "\\岚栩图片工具箱\\";

  std::wstring commandLine = L"PictureTool.exe --hosts hosts.txt";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const std::wstring program = GbkToWide(folder + "\\PictureTool.exe");
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      GbkToWide(folder).c_str(), &startup, &process))
    return Fail("the program did not start");
  CloseHandle(process.hThread);
  HWND welcome = WaitForMessageBox(process.dwProcessId, "【岚栩】- 这是一个提示！", kPatienceMs);
  if (!welcome || !AnswerMessageBox(welcome, IDOK, kPatienceMs)) return Fail("no welcome message");
  HWND main = nullptr;
  WaitFor([&] { return (main = TopLevelOf(process.dwProcessId, kMainWindowClass)) != nullptr; }, kPatienceMs);
  if (!main) return Fail("no main window");

  // Button to question.
  if (!Harvest(main, offers[0], rows)) return Fail("the first offer gave no rows");
  const double pressed = NowSeconds();
  if (!PressButton(ControlOf(main, Control::数据_下载), kPatienceMs)) return Fail("the button did not answer");
  HWND question = WaitForMessageBox(process.dwProcessId, "岚栩 - 提示", kPatienceMs);
  const double asked = NowSeconds();
  if (!question) return Fail("the save asked nothing");
  const std::string text = MessageText(question);
  AnswerMessageBox(question, IDNO, kPatienceMs);
  const size_t saved = Pictures(root + items[0] + "\\");
  std::printf("button to question: %.3f s, %zu of %d pictures saved (%s)\n", asked - pressed, saved, rows,
              text.find("保存成功") == 0 ? "all saved" : "some failed");

  // Closing in the middle of a save.
  if (!PressButton(ControlOf(main, Control::数据_清空), kPatienceMs)) return Fail("the clear button did not answer");
  if (!Harvest(main, offers[1], rows)) return Fail("the second offer gave no rows");
  const std::string second = root + items[1] + "\\";
  if (!PressButton(ControlOf(main, Control::数据_下载), kPatienceMs)) return Fail("the button did not answer");
  if (!WaitFor([&] { return Pictures(second) >= kSavedBeforeClose; }, kPatienceMs)) return Fail("nothing was saved");
  const double closing = NowSeconds();
  PostMessageW(main, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(process.hProcess, kPatienceMs) == WAIT_OBJECT_0;
  const double gone = NowSeconds();
  CloseHandle(process.hProcess);
  if (!ended) return Fail("the program did not end");
  size_t pictures = 0, partial = 0;
  for (const std::string& name : ListFolder(second)) {
    if (name.ends_with(".jpg") && FileSize(second + name) == pictureBytes + 4)
      ++pictures;
    else if (name.ends_with(".jpg") || name.ends_with(".part"))
      ++partial;
  }
  std::printf("close during the save to the process's end: %.3f s, %zu whole pictures, %zu partial files\n",
              gone - closing, pictures, partial);
  std::printf("RESULT_QUESTION %.6f\nRESULT_CLOSE %.6f %zu %zu\n", asked - pressed, gone - closing, pictures, partial);
  return 0;
}
