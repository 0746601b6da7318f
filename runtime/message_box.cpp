#include "runtime/message_box.h"

#include <mutex>

#include "runtime/codepage.h"

namespace {
std::mutex g_handlerLock;
std::function<int(const MessageBoxRequest&)> g_handler;

int FromSystemAnswer(int id) {
  switch (id) {
    case IDOK: return kPressedOk;
    case IDCANCEL: return kPressedCancel;
    case IDABORT: return kPressedAbort;
    case IDRETRY: return kPressedRetry;
    case IDIGNORE: return kPressedIgnore;
    case IDYES: return kPressedYes;
    case IDNO: return kPressedNo;
    default: return kPressedCancel;
  }
}
}  // namespace

int ShowMessageBox(const std::string& text, UINT buttons, const std::string& caption, HWND owner) {
  std::function<int(const MessageBoxRequest&)> handler;
  {
    std::lock_guard<std::mutex> lock(g_handlerLock);
    handler = g_handler;
  }
  if (handler) return handler(MessageBoxRequest{text, caption, buttons, owner});
  int id = MessageBoxW(owner, GbkToWide(text).c_str(), GbkToWide(caption).c_str(),
                       buttons | MB_TASKMODAL);
  return FromSystemAnswer(id);
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler) {
  std::lock_guard<std::mutex> lock(g_handlerLock);
  g_handler = std::move(handler);
}
