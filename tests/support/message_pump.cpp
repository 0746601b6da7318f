#include "tests/support/message_pump.h"

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD begin = GetTickCount();
  MSG msg;
  while (!done()) {
    if (GetTickCount() - begin > timeoutMs) return false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (done()) return true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}
