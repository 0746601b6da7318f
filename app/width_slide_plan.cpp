#include "app/width_slide_plan.h"

#include <algorithm>

WidthSlidePlan PlanWidthSlide(int left, int width, std::optional<int> home, int workLeft, int workRight) {
  WidthSlidePlan plan;
  plan.home = home.value_or(left);
  plan.rightLimit = std::max(workRight, left + width);
  plan.leftLimit = std::min(workLeft, left);
  return plan;
}

int LeftForWidth(const WidthSlidePlan& plan, int width) {
  const int overshoot = std::max(0, plan.home + width - plan.rightLimit);
  return std::max(plan.leftLimit, plan.home - overshoot);
}
