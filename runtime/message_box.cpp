#include "runtime/message_box.h"

#include "runtime/codepage.h"

namespace {

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
  int id = MessageBoxW(owner, GbkToWide(text).c_str(), GbkToWide(caption).c_str(), buttons | MB_TASKMODAL);
  return FromSystemAnswer(id);
}

int ShowMessageBox(const MessageBoxRequest& request) {
  return ShowMessageBox(request.text, request.buttons, request.caption, request.owner);
}

int AskUser(const MessageBoxAnswerer& answer, const MessageBoxRequest& request) {
  return answer ? answer(request) : ShowMessageBox(request);
}
