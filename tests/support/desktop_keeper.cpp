// Holds Wine's desktop open for a whole test run. Wine closes a desktop, and its explorer.exe with
// it, a second after the last program attached to it ends, so each test program would start
// explorer.exe again: seconds each where the 32-bit programs run through an emulator. Asking for
// the desktop window attaches this thread to the desktop (and starts explorer.exe now); "ready" on
// standard output says it is done. Runs until its wineserver is stopped.
#include <windows.h>

#include <cstdio>

int main() {
  if (!GetDesktopWindow()) return 1;
  std::puts("ready");
  std::fflush(stdout);
  Sleep(INFINITE);
}
