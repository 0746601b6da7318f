// No C runtime: a bare entry point that reports every call and refuses to attach.
#include <windows.h>

__declspec(dllimport) void VirtualRecord(void* instance, DWORD reason);

BOOL WINAPI RefuseEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  VirtualRecord(instance, reason);
  return reason != DLL_PROCESS_ATTACH;
}
