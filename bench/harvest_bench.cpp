// The platform buttons of the real program against pages of a loopback server, timed from the
// outside as a person would see them, beside a bare list view and edit box filled with as many
// rows and lines in bulk, and the big pages beside a bare WinHttp fetch of them:
//   bench_harvest <hosts file> <server address> <pages.txt> <runs> <name>=<program.exe>...
// pages.txt names one page a line: "<name> <path> <taobao|alibaba>". Every program named (builds
// of the same machine type, e.g. before=… after=…) runs at once, each from its own folder; their
// harvests of a page take turns, so a load that changes meanwhile weighs on all alike. For each
// harvest the program's harvest is cleared, the page's address typed into the link box and the
// platform's button pressed; the time runs from the press until the click has been handled (the
// status line then tells what was found) and list and status line have painted. One harvest of
// the first page goes before, unmeasured. Pages of rows get the ratio to a bare fill of as many
// rows, and at the end what each row costs between the smallest and the largest of them; pages
// named "*-MB" get the time a bare WinHttp fetch of them takes. Prints "RESULT <page> <program>
// <ms>" per page and program.
#include <windows.h>
// After windows.h, which commctrl.h and winhttp.h need.
#include <commctrl.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
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

// ---- the bare fetch: the page through WinHttp into memory, nothing else ----

double BareFetchMs(const std::string& url, size_t* bytes) {
  const std::wstring wide = GbkToWide(url);
  URL_COMPONENTS parts{sizeof parts};
  wchar_t host[256] = {}, path[2048] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts)) return -1;
  const double start = NowMs();
  HINTERNET session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
  HINTERNET connection = session ? WinHttpConnect(session, host, parts.nPort, 0) : nullptr;
  HINTERNET request = connection ? WinHttpOpenRequest(connection, L"GET", path, nullptr, nullptr, nullptr, 0) : nullptr;
  bool ok = request && WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) && WinHttpReceiveResponse(request, nullptr);
  std::string body, chunk;
  for (DWORD available = 0; ok && WinHttpQueryDataAvailable(request, &available) && available > 0;) {
    DWORD read = 0;
    chunk.resize(available);
    ok = WinHttpReadData(request, chunk.data(), available, &read) && read > 0;
    body.append(chunk.data(), read);
  }
  for (HINTERNET h : {request, connection, session})
    if (h) WinHttpCloseHandle(h);
  *bytes = body.size();
  return ok ? NowMs() - start : -1;
}

// ---- the program ----

class Program {
 public:
  Program(std::string name, const std::wstring& exe, const std::wstring& hosts) : name_(std::move(name)) {
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
  const std::string& name() const { return name_; }

 private:
  std::string name_;
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

Control ButtonOf(const Page& page) { return page.platform == "taobao" ? Control::淘宝_按钮 : Control::阿里_按钮; }

// The harvests of one page: each program in turn, `runs` times; the median per program.
std::vector<Harvested> HarvestPage(const std::vector<std::unique_ptr<Program>>& programs, const std::string& link,
                                   Control button, int runs) {
  std::vector<std::vector<double>> times(programs.size()), handled(programs.size());
  std::vector<Harvested> last(programs.size());
  for (int i = 0; i < runs; ++i)
    for (size_t p = 0; p < programs.size(); ++p) {
      last[p] = Harvest(programs[p]->main(), link, button);
      if (last[p].ms < 0) return {};
      times[p].push_back(last[p].ms);
      handled[p].push_back(last[p].handledMs);
    }
  for (size_t p = 0; p < programs.size(); ++p) {
    last[p].ms = Median(times[p]);
    last[p].handledMs = Median(handled[p]);
  }
  return last;
}

double MedianBareFill(int rows, int runs) {
  std::vector<double> fills;
  for (int i = 0; i < runs; ++i) fills.push_back(BareFill(rows));
  return Median(fills);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: bench_harvest <hosts file> <server address> <pages.txt> <runs> <name>=<program.exe>...\n");
    return 2;
  }
  const std::string server = WideToGbk(argv[2]);
  const std::vector<Page> pages = ReadPages(argv[3]);
  const int runs = std::max(1, _wtoi(argv[4]));
  std::vector<std::unique_ptr<Program>> programs;
  for (int i = 5; i < argc; ++i) {
    const std::wstring named = argv[i];
    const size_t equals = named.find(L'=');
    if (equals == std::wstring::npos) return 2;
    programs.push_back(std::make_unique<Program>(WideToGbk(named.substr(0, equals)), named.substr(equals + 1), argv[1]));
    if (!programs.back()->main()) {
      std::fprintf(stderr, "%s did not come up\n", programs.back()->name().c_str());
      return 1;
    }
  }
  // The first harvest of a process also loads what every later one shares: one unmeasured.
  if (!pages.empty()) HarvestPage(programs, server + pages.front().path, ButtonOf(pages.front()), 1);
  BareFill(20);
  // Per program, the rows and time of every page of rows, for the cost of a row added.
  std::vector<std::map<int, double>> rowPages(programs.size());
  std::map<int, double> bare;
  for (const Page& page : pages) {
    const std::vector<Harvested> got = HarvestPage(programs, server + page.path, ButtonOf(page), runs);
    if (got.empty()) {
      std::fprintf(stderr, "%s: the button did not answer\n", page.name.c_str());
      return 1;
    }
    const bool ofRows = page.name.find("-rows") != std::string::npos;
    for (size_t p = 0; p < programs.size(); ++p) {
      const Harvested& h = got[p];
      std::printf("%-15s %-7s press to status %7.0f ms (handled after %.0f ms), %d rows: %s\n",
                  p == 0 ? page.name.c_str() : "", programs[p]->name().c_str(), h.ms, h.handledMs, h.rows,
                  Utf8(h.status).c_str());
      if (!ofRows) continue;
      if (!bare.count(h.rows)) bare[h.rows] = MedianBareFill(h.rows, runs);
      rowPages[p][h.rows] = h.ms;
    }
    if (ofRows) {
      const int rows = got.back().rows;
      std::printf("%-15s bare list view and edit box, %d rows in bulk: %.0f ms; program / bare:", "", rows, bare[rows]);
      for (size_t p = 0; p < programs.size(); ++p)
        std::printf(" %s %.1f", programs[p]->name().c_str(), got[p].ms / std::max(1.0, bare[got[p].rows]));
      std::printf("\n");
    }
    if (page.name.ends_with("-MB")) {
      size_t bytes = 0;
      std::vector<double> fetches;
      for (int i = 0; i < runs; ++i) fetches.push_back(BareFetchMs(server + page.path, &bytes));
      std::printf("%-15s bare WinHttp fetch of the page (%zu bytes): %.0f ms\n", "", bytes, Median(fetches));
    }
    if (programs.size() > 1)
      std::printf("%-15s %s / %s: %.2f\n", "", programs.back()->name().c_str(), programs.front()->name().c_str(),
                  got.back().ms / std::max(1.0, got.front().ms));
    for (size_t p = 0; p < programs.size(); ++p)
      std::printf("RESULT %s %s %.1f\n", page.name.c_str(), programs[p]->name().c_str(), got[p].ms);
    std::fflush(stdout);
  }
  // What each further row costs: the difference between the largest and the smallest page of rows.
  if (bare.size() >= 2) {
    const auto [fewRows, fewBare] = *bare.begin();
    const auto [manyRows, manyBare] = *bare.rbegin();
    const double added = manyRows - fewRows;
    std::printf("each row from %d to %d rows: bare %.3f ms", fewRows, manyRows, (manyBare - fewBare) / added);
    for (size_t p = 0; p < programs.size(); ++p)
      if (rowPages[p].count(fewRows) && rowPages[p].count(manyRows))
        std::printf(", %s %.3f ms", programs[p]->name().c_str(), (rowPages[p][manyRows] - rowPages[p][fewRows]) / added);
    std::printf("\n");
  }
  return 0;
}
