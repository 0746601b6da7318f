// Start-up: the command line, the globals, GDI+, the skin engine, the main window and its message
// loop. The window ends before the at-exit routine releases the globals.
#include <windows.h>

#include <cstdlib>

#include "app/main_window.h"
#include "app/startup.h"
#include "runtime/codepage.h"
#include "runtime/program_dir.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before the current directory changes: a relative hosts file names one from where we started.
  StartupSettings settings = ReadStartupSettings(GetCommandLineW());
  SetCurrentDirectoryW(GbkToWide(ProgramDirectory()).c_str());
  ConstructGlobalObjects();
  std::atexit(ReleaseGlobalObjects);
  StartGdiPlusAtStartup();
  LoadSkinEngineAtStartup();
  TellStartupProblems(settings.problems, settings.config.answer);
  MainWindow window(std::move(settings.config));
  if (!window.Create(instance)) return 1;
  return window.RunMessageLoop();
}
