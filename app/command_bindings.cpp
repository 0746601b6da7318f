// The event bindings: which handler each control's click runs.
#include "app/main_window_internal.h"

#include "app/command_handlers.h"
#include "app/extract_commands.h"
#include "app/login_commands.h"
#include "save/saver.h"

namespace {
const CommandBinding kBindings[] = {
    {Control::淘宝_按钮, ExtractTaobaoItem},
    {Control::天猫_按钮, ExtractTmallItem},
    {Control::京东_按钮, ExtractJdItem},
    {Control::阿里_按钮, ExtractAlibabaItem},
    {Control::数据_下载, StartSave},
    {Control::数据_清空, ClearData},
    {Control::帮助, ShowHelp},
    {Control::tok, HideHelp},
    {Control::载入淘宝, LoadTaobaoLogin},
    {Control::载入阿里, LoadAlibabaLogin},
};
}  // namespace

std::span<const CommandBinding> CommandBindings() { return kBindings; }

LabelFeedbackHandler HotKeyFeedback() { return OnHotKey; }
