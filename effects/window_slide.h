#pragma once
// A window's width sliding to a new width on an easing animator, its drop shadow held at the larger
// width for the slide.

#include <windows.h>

#include "effects/ease_animator.h"

// Runs `animator` from `window`'s outer width to `targetWidth` along easing curve `curve`, one frame
// per tick of `intervalMs` for `durationMs`, each frame's value going to `applyFrame`, which sets the
// width. Through the slide the window's shadow is at least the larger of the two widths wide; after
// the last frame it lies exactly around the window again. False, with nothing changed, when the
// animator refuses to start (while it still runs, say).
bool SlideWindowWidth(EaseAnimator& animator, HWND window, int targetWidth, int curve,
                      EaseAnimator::ProgressCallback applyFrame, int intervalMs, int durationMs);
