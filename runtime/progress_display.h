#pragma once
// Where the program shows how far a long piece of work has come, outside its status line (the
// taskbar button): how much of it is done, whether something failed on the way, and its end.
// Neutral: no Windows header, so that tests can record what a save or a batch reports.

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  // `done` of `total` handled; `failed`: something of it failed.
  virtual void ShowProgress(int done, int total, bool failed) = 0;
  // The work ended: no progress is shown any more.
  virtual void EndProgress() = 0;
};
