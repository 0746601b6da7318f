#pragma once
// Keeps extraction runs from stepping on each other. All calls come from the window's thread.

#include <functional>

#include "extract/item_harvest.h"

// One extraction at a time. A platform button pressed while a run is still fetching or cutting (the
// window keeps answering meanwhile) is ignored, and a clear during a run stops that run from
// publishing anything more, so the cleared harvest stays empty and no half run survives it.
class ExtractionGate {
 public:
  // Runs `extract` with a sink that forwards to `target` until NoteCleared; returns false without
  // running anything when another run is under way.
  bool Run(HarvestSink& target, const std::function<void(HarvestSink&)>& extract);
  void NoteCleared();
  bool Running() const { return running_; }
  // Whether the harvest was cleared under the last run (which then published nothing more).
  bool WasCleared() const { return cleared_; }

 private:
  bool running_ = false;
  bool cleared_ = false;
};
