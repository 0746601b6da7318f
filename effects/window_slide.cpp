#include "effects/window_slide.h"

#include <algorithm>
#include <utility>

#include "effects/shadow.h"

namespace {

int OuterWidth(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r.right - r.left;
}

}  // namespace

bool SlideWindowWidth(EaseAnimator& animator, HWND window, int targetWidth, int curve,
                      EaseAnimator::ProgressCallback applyFrame, int intervalMs, int durationMs) {
  const int from = OuterWidth(window);
  const bool started = animator.Start(from, targetWidth, curve, std::move(applyFrame),
                                      [window] { ReleaseShadowWidth(window); }, intervalMs, durationMs);
  // Held at the larger width, the shadow keeps the size of its layered window through the slide:
  // each frame then redraws only the columns that changed instead of resizing it and pushing the
  // whole bitmap again. Only a slide that starts holds, so a refused one leaves a running one's
  // hold alone.
  if (started) HoldShadowWidth(window, std::max(from, targetWidth));
  return started;
}
