// Procedures put in front of a window's own through their own tables: the order messages take
// through them as they are attached and let go of, in any order, and the tables forgetting a
// window that is gone.
#include <windows.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "runtime/window_subclass.h"

namespace {

constexpr UINT kProbe = WM_APP + 1;
std::string g_path;  // the procedures a probe passed through, in order

LRESULT CALLBACK Own(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kProbe) g_path += "window";
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ProcedureA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK ProcedureB(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
WindowSubclasses<char> g_a(ProcedureA);
WindowSubclasses<char> g_b(ProcedureB);

LRESULT Through(WindowSubclasses<char>& table, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return table.Dispatch(hwnd, msg, wp, lp, [&](const WindowSubclasses<char>::Entry& entry) {
    if (msg == kProbe) g_path += std::string(1, entry.state) + " ";
    return CallWindowProcW(entry.previous, hwnd, msg, wp, lp);
  });
}
LRESULT CALLBACK ProcedureA(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return Through(g_a, hwnd, msg, wp, lp); }
LRESULT CALLBACK ProcedureB(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return Through(g_b, hwnd, msg, wp, lp); }

HWND MakeWindow() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Own;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WindowSubclassTest";
    return RegisterClassW(&wc);
  }();
  EXPECT_NE(atom, 0);
  return CreateWindowExW(0, L"WindowSubclassTest", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// Steps "+a" (attach with state 'a'), "-a" (let go of), for tables a and b.
void Apply(HWND hwnd, const std::string& steps) {
  std::istringstream in(steps);
  for (std::string step; in >> step;) {
    WindowSubclasses<char>& table = step[1] == 'a' ? g_a : g_b;
    if (step[0] == '+')
      EXPECT_TRUE(table.Attach(hwnd, step[1])) << step;
    else
      table.Detach(hwnd);
  }
}

TEST(WindowSubclassTest, MessagesPassTheProceduresInFrontInOrder) {
  const struct {
    const char* steps;
    const char* path;  // a probe message's way through
    const char* front;  // whose procedure the window has: "a", "b" or "own"
  } cases[] = {
      {"+a", "a window", "a"},
      {"+a +b", "b a window", "b"},
      {"+a -a", "window", "own"},
      // Let go of under a later procedure: stays in the chain, passing everything on.
      {"+a +b -a", "b window", "b"},
      {"+a +b -b", "a window", "a"},
      {"+a +b -b -a", "window", "own"},
      {"+a +b -a -b", "window", "a"},
      // Taken up again where it stood, with its new state.
      {"+a +b -a +a", "b a window", "b"},
      {"+a -a +b +a", "a b window", "a"},
      {"+a +a", "a window", "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    HWND hwnd = MakeWindow();
    ASSERT_NE(hwnd, nullptr);
    Apply(hwnd, c.steps);
    g_path.clear();
    SendMessageW(hwnd, kProbe, 0, 0);
    EXPECT_EQ(g_path, c.path);
    const LONG_PTR front = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    const std::string frontName = front == reinterpret_cast<LONG_PTR>(&ProcedureA)   ? "a"
                                  : front == reinterpret_cast<LONG_PTR>(&ProcedureB) ? "b"
                                  : front == reinterpret_cast<LONG_PTR>(&Own)        ? "own"
                                                                                     : "other";
    EXPECT_EQ(frontName, c.front);
    // A window that is gone leaves nothing in the tables, whatever it had.
    DestroyWindow(hwnd);
    EXPECT_FALSE(g_a.Find(hwnd));
    EXPECT_FALSE(g_b.Find(hwnd));
    g_path.clear();
    EXPECT_EQ(g_a.CallPrevious(hwnd, kProbe, 0, 0), 0);
    EXPECT_EQ(g_path, "");
  }
}

TEST(WindowSubclassTest, AStateChangeReachesTheNextMessage) {
  HWND hwnd = MakeWindow();
  ASSERT_NE(hwnd, nullptr);
  Apply(hwnd, "+a");
  g_a.Update(hwnd, [](char& state) { state = 'z'; });
  g_path.clear();
  SendMessageW(hwnd, kProbe, 0, 0);
  EXPECT_EQ(g_path, "z window");
  DestroyWindow(hwnd);
}

}  // namespace
