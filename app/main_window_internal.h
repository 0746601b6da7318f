#pragma once
// What the pieces of the application shell share among themselves.

#include <windows.h>

#include <span>
#include <string>

#include "app/main_window.h"

// A control's clicked handler.
struct CommandBinding {
  Control control;
  void (*clicked)();
};
// Every bound click (app/command_bindings.cpp); every other control event is ignored.
std::span<const CommandBinding> CommandBindings();

// The feedback event of the label 标签1, which receives the hot-key presses (id, detail).
using LabelFeedbackHandler = void (*)(int id, int detail);
LabelFeedbackHandler HotKeyFeedback();

// Steps of start-up and of the created handler that other subsystems provide
// (app/subsystem_hooks.cpp).
HWND CreateBrowserPanel(HWND parent, int x, int y, int width, int height, int controlId);
void ClearBrowserPanelCookies();
void ApplyWindowSkin(HWND window);

// Dispatches the messages waiting for the window's thread (nothing on another thread): long work on
// the window's thread calls it so the window keeps painting and answering.
void PumpPendingMessages();

// The created handler (run by CreateMainWindow once the window is shown).
void RunCreatedHandler(HWND window);
std::wstring MainWindowCaption();
