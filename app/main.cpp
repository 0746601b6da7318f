// Start-up: the globals, GDI+, the skin engine, the main window and its message loop.
#include <windows.h>

#include <cstdlib>

#include "app/main_window.h"
#include "app/startup.h"
#include "runtime/codepage.h"
#include "runtime/program_dir.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SetCurrentDirectoryW(GbkToWide(ProgramDirectory()).c_str());
  ConstructGlobalObjects();
  std::atexit(ReleaseGlobalObjects);
  StartGdiPlusAtStartup();
  LoadSkinEngineAtStartup();
  if (!CreateMainWindow(instance)) return 1;
  return RunMessageLoop();
}
