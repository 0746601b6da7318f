// The least a Windows program can do before a person sees it: show one message box. The start-up
// benchmark measures the real program against it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  MessageBoxW(nullptr, L"minimal", L"minimal", MB_OK | MB_TASKMODAL);
  return 0;
}
