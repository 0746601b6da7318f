// No C runtime: a bare entry point that reports every call and refuses to attach. It carries the
// name the linker takes for a DLL's entry point by default, decorated as the machine needs.
#include <windows.h>

__declspec(dllimport) void VirtualRecord(void* instance, DWORD reason);

BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  VirtualRecord(instance, reason);
  return reason != DLL_PROCESS_ATTACH;
}
