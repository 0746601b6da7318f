#pragma once
// Where the window's left edge goes while its width slides: a widened window stays within the
// screen's work area, moving left as far as its right edge would pass it, and a narrowed one comes
// back to where it stood. Neutral: plain numbers, no Windows header.

#include <optional>

struct WidthSlidePlan {
  int home = 0;        // the left edge when nothing pushes the window
  int rightLimit = 0;  // no frame's right edge passes it (unless the window outgrows the area)
  int leftLimit = 0;   // no frame's left edge passes it
};

// The plan for a slide of a window standing at `left` with outer width `width` in a work area
// from `workLeft` to `workRight`. `home`: where the window stood before an earlier slide moved it
// (nullopt when it stands where it was put). A window already reaching past an edge is pushed no
// further back than where it stands, so the first frame never jumps.
WidthSlidePlan PlanWidthSlide(int left, int width, std::optional<int> home, int workLeft, int workRight);

// The left edge of the frame of outer width `width`.
int LeftForWidth(const WidthSlidePlan& plan, int width);
