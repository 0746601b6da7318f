#include "effects/easing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

namespace {

constexpr double kRefPi = 3.14159265358979323846;

// The classic easing equations in their usual form f(t, b, c, d) with d = 1 (b = start, c = the
// change), written out independently of the program's code. They use the library's pi; the
// program's own 3.1415926535 differs by less than 1e-10.
double RefBounceOut(double t, double b, double c) {
  if (t < 1 / 2.75) return c * (7.5625 * t * t) + b;
  if (t < 2 / 2.75) {
    t -= 1.5 / 2.75;
    return c * (7.5625 * t * t + .75) + b;
  }
  if (t < 2.5 / 2.75) {
    t -= 2.25 / 2.75;
    return c * (7.5625 * t * t + .9375) + b;
  }
  t -= 2.625 / 2.75;
  return c * (7.5625 * t * t + .984375) + b;
}
double RefBounceIn(double t, double b, double c) { return c - RefBounceOut(1 - t, 0, c) + b; }

using Ref = std::function<double(double t, double b, double c)>;
const std::map<int, Ref>& References() {
  static const std::map<int, Ref> refs = {
      {1, [](double t, double b, double c) { return c * t * t + b; }},
      {2, [](double t, double b, double c) { return -c * t * (t - 2) + b; }},
      {3, [](double t, double b, double c) {
         t *= 2;
         if (t < 1) return c / 2 * t * t + b;
         t -= 1;
         return -c / 2 * (t * (t - 2) - 1) + b;
       }},
      {4, [](double t, double b, double c) { return c * std::pow(t, 3) + b; }},
      {5, [](double t, double b, double c) { return c * (std::pow(t - 1, 3) + 1) + b; }},
      {6, [](double t, double b, double c) {
         t *= 2;
         if (t < 1) return c / 2 * std::pow(t, 3) + b;
         return c / 2 * (std::pow(t - 2, 3) + 2) + b;
       }},
      {7, [](double t, double b, double c) { return c * std::pow(t, 4) + b; }},
      {8, [](double t, double b, double c) { return -c * (std::pow(t - 1, 4) - 1) + b; }},
      {9, [](double t, double b, double c) {
         t *= 2;
         if (t < 1) return c / 2 * std::pow(t, 4) + b;
         return -c / 2 * (std::pow(t - 2, 4) - 2) + b;
       }},
      {10, [](double t, double b, double c) { return c * std::pow(t, 5) + b; }},
      {11, [](double t, double b, double c) { return c * (std::pow(t - 1, 5) + 1) + b; }},
      {12, [](double t, double b, double c) {
         t *= 2;
         if (t < 1) return c / 2 * std::pow(t, 5) + b;
         return c / 2 * (std::pow(t - 2, 5) + 2) + b;
       }},
      {13, [](double t, double b, double c) { return -c * std::cos(t * kRefPi / 2) + c + b; }},
      {14, [](double t, double b, double c) { return c * std::sin(t * kRefPi / 2) + b; }},
      {15, [](double t, double b, double c) { return -c / 2 * (std::cos(kRefPi * t) - 1) + b; }},
      {16, [](double t, double b, double c) { return c * std::pow(2, 10 * (t - 1)) + b; }},
      {17, [](double t, double b, double c) { return c * (-std::pow(2, -10 * t) + 1) + b; }},
      {18, [](double t, double b, double c) {
         t *= 2;
         if (t < 1) return c / 2 * std::pow(2, 10 * (t - 1)) + b;
         return c / 2 * (-std::pow(2, -10 * (t - 1)) + 2) + b;
       }},
      {19, [](double t, double b, double c) { return -c * (std::sqrt(1 - t * t) - 1) + b; }},
      {20, [](double t, double b, double c) { return c * std::sqrt(1 - (t - 1) * (t - 1)) + b; }},
      {21, [](double t, double b, double c) {
         t *= 2;
         if (t < 1) return -c / 2 * (std::sqrt(1 - t * t) - 1) + b;
         t -= 2;
         return c / 2 * (std::sqrt(1 - t * t) + 1) + b;
       }},
      {22, [](double t, double b, double c) { return RefBounceIn(t, b, c); }},
      {23, [](double t, double b, double c) { return RefBounceOut(t, b, c); }},
      {24, [](double t, double b, double c) {
         if (t < 0.5) return RefBounceIn(t * 2, 0, c) * .5 + b;
         return RefBounceOut(t * 2 - 1, 0, c) * .5 + c * .5 + b;
       }},
      {25, [](double t, double b, double c) {
         const double s = 1.70158;
         return c * t * t * ((s + 1) * t - s) + b;
       }},
      {26, [](double t, double b, double c) {
         const double s = 1.70158;
         t -= 1;
         return c * (t * t * ((s + 1) * t + s) + 1) + b;
       }},
      {27, [](double t, double b, double c) {
         const double s = 1.70158 * 1.525;
         t *= 2;
         if (t < 1) return c / 2 * (t * t * ((s + 1) * t - s)) + b;
         t -= 2;
         return c / 2 * (t * t * ((s + 1) * t + s) + 2) + b;
       }},
      {28, [](double t, double b, double c) {
         if (t == 0) return b;
         if (t == 1) return b + c;
         const double p = 0.3, s = p / 4;
         t -= 1;
         return -(c * std::pow(2, 10 * t) * std::sin((t - s) * (2 * kRefPi) / p)) + b;
       }},
      {29, [](double t, double b, double c) {
         if (t == 0) return b;
         if (t == 1) return b + c;
         const double p = 0.3, s = p / 4;
         return c * std::pow(2, -10 * t) * std::sin((t - s) * (2 * kRefPi) / p) + c + b;
       }},
      {30, [](double t, double b, double c) {
         if (t == 0) return b;
         t *= 2;
         if (t == 2) return b + c;
         const double p = 0.3, s = p / 4;
         t -= 1;
         if (t < 0) return -.5 * (c * std::pow(2, 10 * t) * std::sin((t - s) * (2 * kRefPi) / p)) + b;
         return c * std::pow(2, -10 * t) * std::sin((t - s) * (2 * kRefPi) / p) * .5 + c + b;
       }},
  };
  return refs;
}

TEST(EaseTest, ClassicCurvesMatchTheReferenceEquations) {
  const double ts[] = {0, 0.05, 0.1, 0.2, 0.25, 0.3, 1 / 2.75, 0.4, 0.45, 0.55,
                       0.6, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95, 0.99, 1};
  const std::pair<int, int> ranges[] = {{0, 100}, {880, 1220}, {1220, 880}, {688, 8}, {-50, 75}};
  for (const auto& [type, ref] : References())
    for (const auto& [b, e] : ranges)
      for (double t : ts)
        EXPECT_NEAR(Ease(type, t, b, e), ref(t, b, e - b), 1e-6)
            << "type " << type << " t " << t << " from " << b << " to " << e;
}

TEST(EaseTest, HandComputedPoints) {
  struct Row {
    int type;
    double t;
    int start, end;
    double expected;
  } rows[] = {
      {1, 0.5, 0, 100, 25},
      {2, 0.5, 0, 100, 75},
      {3, 0.25, 0, 100, 12.5},
      {4, 0.5, 0, 100, 12.5},
      {5, 1.0 / 17, 880, 1220, 936.5397923875432},    // the first frame of the window widening
      {5, 16.0 / 17, 880, 1220, 1219.930795847751},   // its last frame before the end value
      {5, 1.0 / 34, 688, 8, 629.7474048},              // the help panel's first frame
      {10, 0.5, 0, 320, 10},
      {15, 0.5, 0, 100, 50},
      {23, 0.5, 0, 100, 76.5625},
      {22, 0.5, 0, 100, 23.4375},
      {25, 1, 0, 100, 100},
      {28, 0.5, 0, 100, -1.5625},  // 2^-5 * sin(30 degrees)
      {29, 0.5, 0, 100, 101.5625},
      {32, 0.5, 0, 100, 105.10158018655052},
      {32, 1, 0, 100, 100},
      {32, 0, 40, 100, 40},
  };
  for (const Row& r : rows)
    EXPECT_NEAR(Ease(r.type, r.t, r.start, r.end), r.expected, 1e-4)
        << "type " << r.type << " t " << r.t;
}

TEST(EaseTest, AngleTakesTheShortWayAround) {
  // 350 -> 10 goes forward through 360 rather than back through 180.
  EXPECT_NEAR(Ease(kEaseAngle, 0.5, 350, 10), 360, 1e-9);
  EXPECT_NEAR(Ease(kEaseAngle, 1, 350, 10), 370, 1e-9);
  // 10 -> 350 goes backward through 0.
  EXPECT_NEAR(Ease(kEaseAngle, 0.5, 10, 350), 0, 1e-9);
  EXPECT_NEAR(Ease(kEaseAngle, 1, 10, 350), -10, 1e-9);
  // A difference of at most 180 either way is plain linear.
  EXPECT_NEAR(Ease(kEaseAngle, 0.5, 0, 180), 90, 1e-9);
  EXPECT_NEAR(Ease(kEaseAngle, 0.5, 180, 0), 90, 1e-9);
  // 100 -> 300 is shorter backward through 0: a quarter of the way is 60.
  EXPECT_NEAR(Ease(kEaseAngle, 0.25, 100, 300), 60, 1e-9);
}

TEST(EaseTest, PunchSwingsAroundZeroWithTheEndAsAmplitude) {
  EXPECT_EQ(Ease(kEasePunch, 0, 500, 100), 0);
  EXPECT_EQ(Ease(kEasePunch, 1, 500, 100), 0);
  // At t = 0.075 the sine is at its crest: 100 * 2^-0.75, whatever the start.
  EXPECT_NEAR(Ease(kEasePunch, 0.075, 500, 100), 59.46035575013605, 1e-6);
  EXPECT_NEAR(Ease(kEasePunch, 0.075, 0, 100), 59.46035575013605, 1e-6);
  EXPECT_LT(Ease(kEasePunch, 0.225, 0, 100), 0);  // the trough of the first swing
  for (double t = 0.01; t < 1; t += 0.01) EXPECT_LE(std::fabs(Ease(kEasePunch, t, 0, 100)), 100);
}

TEST(EaseTest, ProgressIsClampedWithATolerance) {
  EXPECT_EQ(Ease(kEaseQuadIn, -0.5, 200, 600), 200);
  EXPECT_EQ(Ease(kEaseQuadIn, 1.7, 200, 600), 600);
  for (int type = 1; type <= 33; ++type) {
    EXPECT_DOUBLE_EQ(Ease(type, -0.5, 200, 600), Ease(type, 0, 200, 600)) << type;
    EXPECT_DOUBLE_EQ(Ease(type, 1.7, 200, 600), Ease(type, 1, 200, 600)) << type;
  }
  // Within 1e-7 of the ends t is used as it is.
  const int big = 1000000000;
  EXPECT_GT(Ease(kEaseQuadIn, 1 + 5e-8, 0, big), Ease(kEaseQuadIn, 1, 0, big) + 50);
  EXPECT_DOUBLE_EQ(Ease(kEaseQuadIn, 1 + 2e-7, 0, big), Ease(kEaseQuadIn, 1, 0, big));
}

TEST(EaseTest, NoNaNJustInsideTheTolerance) {
  // Roots and fractional powers of (1 - t) would turn negative a hair outside 0..1.
  const double ts[] = {-9e-8, -5e-8, 1 + 5e-8, 1 + 9e-8, 0.5 - 2.5e-8, 0.5 + 2.5e-8};
  for (int type = 1; type <= 33; ++type)
    for (double t : ts) {
      EXPECT_FALSE(std::isnan(Ease(type, t, 0, 100))) << "type " << type << " t " << t;
    }
}

TEST(EaseTest, UnknownTypesGiveZero) {
  for (int type : {0, 34, -1, 1000, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(Ease(type, 0.5, 100, 200), 0) << type;
    EXPECT_EQ(Ease(type, 1, 100, 200), 0) << type;
  }
}

TEST(EaseTest, ExtremeRangesStayFinite) {
  const int lo = -2147483647 - 1, hi = 2147483647;
  for (int type = 1; type <= 33; ++type)
    for (double t : {0.0, 0.3, 0.5, 0.7, 1.0}) {
      EXPECT_TRUE(std::isfinite(Ease(type, t, lo, hi))) << type;
      EXPECT_TRUE(std::isfinite(Ease(type, t, hi, lo))) << type;
    }
}

}  // namespace
