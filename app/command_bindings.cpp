// The event bindings: which handler each control's click runs.
#include "app/main_window_internal.h"

namespace {
const CommandBinding kBindings[] = {
    {Control::Count, nullptr},  // keeps the table non-empty while handlers are added
};
}  // namespace

std::span<const CommandBinding> CommandBindings() { return kBindings; }

LabelFeedbackHandler HotKeyFeedback() { return nullptr; }
