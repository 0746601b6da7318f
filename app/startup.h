#pragma once
// The program's global objects, the start-up steps around the main window, and its command line.

#include <string>
#include <vector>

#include "app/main_window.h"

// The 999 easing animators.
void ConstructGlobalObjects();
// The at-exit routine: frees the skin buffer (the engine stays mapped: its code is still hooked
// into the windows), then releases the easing animators.
void ReleaseGlobalObjects();
// GdiplusStartup (version 1); the token is kept and GDI+ is never shut down.
void StartGdiPlusAtStartup();
// Maps the embedded skin engine into the skin module.
void LoadSkinEngineAtStartup();

struct StartupSettings {
  WindowConfig config;
  std::vector<std::string> problems;  // GBK, for the user; nothing of them was taken
};
// The window's configuration for a command line. "--hosts <file>" names a hosts file
// (config/hosts_file.h) whose hosts replace the shipped ones, "--cookie-file <file>" a text for the
// cookie box, "--batch <file>" a batch file (batch/batch_file.h) whose links the window harvests
// and saves once it is up. Files are read now, so a relative path means the folder the program was
// started from. Without an option nothing changes.
StartupSettings ReadStartupSettings(const wchar_t* commandLine);
// Shows the problems, if any, in one message box.
void TellStartupProblems(const std::vector<std::string>& problems, const MessageBoxAnswerer& answer);
