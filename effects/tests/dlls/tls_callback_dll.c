// A TLS callback of its own, ahead of the C runtime's: it and DllMain write every call they get
// into one trail ("T1M1" after attaching: callback, then DllMain, both for DLL_PROCESS_ATTACH).
#include <windows.h>

static char trail[64];
static int trailLength;
static char* detachTrail;  // the caller's buffer, still written after the image is gone
static void* callbackInstance;

static void Record(char who, DWORD reason) {
  const char call[2] = {who, (char)('0' + reason)};
  for (int i = 0; i < 2; ++i) {
    if (trailLength + 1 < (int)sizeof trail) trail[trailLength++] = call[i];
    if (detachTrail) *detachTrail++ = call[i];
  }
}

static void NTAPI OnTls(PVOID instance, DWORD reason, PVOID reserved) {
  callbackInstance = instance;
  Record('T', reason);
}

// The callback list runs from .CRT$XLA to .CRT$XLZ; the C runtime's own sit at XLC and XLD.
__attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK tlsCallback = OnTls;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  Record('M', reason);
  return TRUE;
}

__declspec(dllexport) const char* TlsTrail(void) { return trail; }
__declspec(dllexport) void* TlsCallbackInstance(void) { return callbackInstance; }
__declspec(dllexport) void TlsSetDetachTrail(char* buffer) { detachTrail = buffer; }
