#pragma once
// The handlers that are neither extractors, savers nor browser commands: clearing the harvest,
// the help panel and the two window-width hot keys. All run on the window's thread.

// Empties the link box, the picture rows, the item id, video address and output folder, and the
// three raw-data boxes. The cookie box, the browser and the status line keep what they hold.
void ClearData();

// Slide the help panel up into view (top 8) or back down out of sight (top 688).
void ShowHelp();
void HideHelp();

// The feedback of the hot-key label: Page Up widens the window to 1220, Page Down narrows it to
// 880. `detail` is unused.
void OnHotKey(int hotKeyId, int detail);

// Animation frames: the value, truncated toward zero, becomes the window's outer width
// (left, top and height kept) or the help panel's top (left kept).
void ApplyWindowWidth(double value);
void ApplyHelpTop(double value);
