#include "runtime/pending_events.h"

namespace {
std::function<void()>& Pump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void ProcessPendingEvents() {
  if (auto& pump = Pump()) pump();
}

void SetPendingEventsPump(std::function<void()> pump) { Pump() = std::move(pump); }
