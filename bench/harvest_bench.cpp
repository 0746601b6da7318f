// The platform buttons of the real program against pages of a loopback server, timed from the
// outside as a person would see them, beside a bare list view and edit box filled with as many
// rows and lines in bulk:
//   bench_harvest <program.exe> <hosts file> <server address> <pages.txt> <runs>
// pages.txt names one page a line: "<name> <path> <taobao|alibaba>". For each page the program's
// harvest is cleared, the page's address typed into the link box and the platform's button pressed;
// the time runs from the press until the click has been handled (the status line then tells what
// was found) and list and status line have painted. One harvest of the first page goes before,
// unmeasured. Pages that give the same number of rows as a
// bare fill then get a ratio. Prints a line "RESULT <name> <ms>" per page.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "tests/e2e/program_window.h"
#include "tests/support/window_support.h"

#include "bench/bench_clock.h"

namespace {

constexpr DWORD kStepTimeoutMs = 30000;
constexpr DWORD kHarvestTimeoutMs = 600000;

std::string Utf8(const std::string& gbk) {
  const std::wstring wide = GbkToWide(gbk);
  std::string out(wide.size() * 3 + 1, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                                     out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

// Whether the window still has something to paint (its update region is kept by the window system).
bool Painted(HWND window) { return !GetUpdateRect(window, nullptr, FALSE); }

// ---- the bare yardstick: a list view and an edit box of this process, filled in bulk ----

struct BareWindow {
  HWND frame = nullptr, list = nullptr, edit = nullptr;
  BareWindow() {
    InitCommonControls();
    frame = CreateWindowExW(0, L"STATIC", L"bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 880, 700, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 8, 8, 464, 427,
                           frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    const wchar_t* titles[] = {L"序号", L"图片Url", L"图片类型"};
    const int widths[] = {50, 300, 100};
    for (int i = 0; i < 3; ++i) {
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = const_cast<wchar_t*>(titles[i]);
      column.cx = widths[i];
      SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE, 480, 8, 312,
                           168, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    Pump();
  }
  ~BareWindow() { DestroyWindow(frame); }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
};

// Rows and lines as a harvest of `rows` pictures gives them, filled the bulk way; milliseconds
// until both controls have painted.
double BareFill(int rows) {
  BareWindow w;
  const double start = NowMs();
  SendMessageW(w.list, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < rows; ++i) {
    const std::string cells[3] = {std::to_string(i + 1),
                                  "https://cbu01.alicdn.com/img/ibank/2020/desc/" + std::to_string(i) + ".jpg",
                                  "阿里详情图片" + std::to_string(i + 1)};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    std::wstring text = GbkToWide(cells[0]);
    item.pszText = text.data();
    const int row = static_cast<int>(SendMessageW(w.list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < 3; ++column) {
      text = GbkToWide(cells[column]);
      item.iSubItem = column;
      item.pszText = text.data();
      SendMessageW(w.list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
  }
  SendMessageW(w.list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(w.list, nullptr, TRUE);
  std::string lines = "基准测试商品-阿里巴巴\r\n\r\n";
  for (int i = 0; i < std::max(1, rows / 10); ++i) lines += "颜色" + std::to_string(i + 1) + "号\r\n";
  const std::wstring wide = GbkToWide(lines);
  SendMessageW(w.edit, EM_SETSEL, 0, 0);
  SendMessageW(w.edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
  SendMessageW(w.edit, EM_SCROLLCARET, 0, 0);
  UpdateWindow(w.frame);
  RedrawWindow(w.frame, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  return NowMs() - start;
}

// ---- the program ----

class Program {
 public:
  Program(const std::wstring& exe, const std::wstring& hosts) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    std::wstring command = L"\"" + exe + L"\" --hosts \"" + hosts + L"\"";
    STARTUPINFOW si{sizeof si};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi_)) return;
    HWND box = nullptr;
    WaitFor([&] { return (box = TopLevelOf(pi_.dwProcessId, L"#32770")) != nullptr; }, kStepTimeoutMs);
    if (!box || !AnswerMessageBox(box, IDOK, kStepTimeoutMs)) return;
    WaitFor([&] { return (main_ = TopLevelOf(pi_.dwProcessId, L"Lzv - E-commerce picture tool")) != nullptr; },
            kStepTimeoutMs);
  }
  ~Program() {
    if (!pi_.hProcess) return;
    if (main_) PostMessageW(main_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  HWND main() const { return main_; }

 private:
  PROCESS_INFORMATION pi_{};
  HWND main_ = nullptr;
};

struct Harvested {
  double ms = -1;         // press to status line, painted
  double handledMs = -1;  // press to the click handled
  int rows = 0;
  std::string status;
};

Harvested Harvest(HWND main, const std::string& link, Control button) {
  Harvested h;
  if (!PressButton(ControlOf(main, Control::数据_清空), kStepTimeoutMs)) return h;
  HWND status = ControlOf(main, Control::岚栩_tim);
  HWND list = ControlOf(main, Control::images_列表框);
  SetControlText(ControlOf(main, Control::url), link);
  SetControlText(status, "");
  WaitFor([&] { return Painted(list) && Painted(status); }, kStepTimeoutMs);
  const double start = NowMs();
  if (!PressButton(ControlOf(main, button), kHarvestTimeoutMs)) return h;
  h.handledMs = NowMs() - start;
  for (const double begin = NowMs(); NowMs() - begin < kStepTimeoutMs; Sleep(1))
    if (!GetControlText(status).empty() && Painted(list) && Painted(status)) break;
  h.ms = NowMs() - start;
  h.rows = RemoteListView(list).Rows();
  h.status = GetControlText(status);
  return h;
}

struct Page {
  std::string name, path, platform;
};

std::vector<Page> ReadPages(const std::wstring& file) {
  std::ifstream in(WideToGbk(file).c_str());
  std::vector<Page> pages;
  for (Page p; in >> p.name >> p.path >> p.platform;) pages.push_back(p);
  return pages;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: bench_harvest <program.exe> <hosts file> <server address> <pages.txt> <runs>\n");
    return 2;
  }
  const std::string server = WideToGbk(argv[3]);
  const std::vector<Page> pages = ReadPages(argv[4]);
  const int runs = std::max(1, _wtoi(argv[5]));
  Program program(argv[1], argv[2]);
  if (!program.main()) {
    std::fprintf(stderr, "the program did not come up\n");
    return 1;
  }
  // The first harvest of a process also loads what every later one shares: one unmeasured.
  if (!pages.empty())
    Harvest(program.main(), server + pages.front().path,
            pages.front().platform == "taobao" ? Control::淘宝_按钮 : Control::阿里_按钮);
  BareFill(20);
  std::map<int, double> bare;
  for (const Page& page : pages) {
    const Control button = page.platform == "taobao" ? Control::淘宝_按钮 : Control::阿里_按钮;
    std::vector<double> times, handled;
    Harvested last;
    for (int i = 0; i < runs; ++i) {
      last = Harvest(program.main(), server + page.path, button);
      if (last.ms < 0) {
        std::fprintf(stderr, "%s: the button did not answer\n", page.name.c_str());
        return 1;
      }
      times.push_back(last.ms);
      handled.push_back(last.handledMs);
    }
    const double ms = Median(times);
    std::printf("%-16s press to status %8.0f ms (handled after %.0f ms; median of %d), %d rows: %s\n",
                page.name.c_str(), ms, Median(handled), runs, last.rows, Utf8(last.status).c_str());
    if (page.name.find("-rows") != std::string::npos) {
      if (!bare.count(last.rows)) {
        std::vector<double> fills;
        for (int i = 0; i < runs; ++i) fills.push_back(BareFill(last.rows));
        bare[last.rows] = Median(fills);
      }
      std::printf("%-16s bare list view and edit box, %d rows in bulk: %.0f ms; ratio program / bare %.1f\n", "",
                  last.rows, bare[last.rows], ms / std::max(1.0, bare[last.rows]));
    }
    std::printf("RESULT %s %.1f\n", page.name.c_str(), ms);
    std::fflush(stdout);
  }
  return 0;
}
