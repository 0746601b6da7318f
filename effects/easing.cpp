#include "effects/easing.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

// Doubles are computed in double precision in every build (SSE2 in the 32-bit one, not the x87's
// 80-bit registers), so an animation takes the same frames in the 32-bit and the 64-bit program.
static_assert(FLT_EVAL_METHOD == 0, "build the 32-bit program with -msse2 -mfpmath=sse");

namespace {

// The curves are tuned with these literal values, not with the library's pi.
constexpr double kPi = 3.1415926535;
constexpr double kTwoPi = 6.283185307;
constexpr double kTolerance = 1e-7;

constexpr double kElasticPeriod = 0.3;
constexpr double kElasticPhase = 0.075;  // a quarter of the period

// Comparisons between doubles allow 1e-7 of rounding error, so a progress that has summed up
// ticks of 10 / duration to 0.99999999 still counts as having arrived.
bool Less(double x, double y) { return x - y < -kTolerance; }
bool AtLeast(double x, double y) { return x - y >= -kTolerance; }
bool Equal(double x, double y) { return std::fabs(x - y) <= kTolerance; }

// t may lie up to 1e-7 outside 0..1, which can push the argument of a root or of a fractional
// power a hair below zero; that must give 0, not NaN.
double RootOf(double x) { return std::sqrt(std::max(0.0, x)); }

double BounceOut(double b, double e, double t) {
  const double d = e - b;
  if (Less(t, 1 / 2.75)) return b + d * 7.5625 * t * t;
  if (Less(t, 2 / 2.75)) {
    const double v = t - 1.5 / 2.75;
    return b + d * (7.5625 * v * v + 0.75);
  }
  if (Less(t, 2.5 / 2.75)) {
    const double v = t - 2.25 / 2.75;
    return b + d * (7.5625 * v * v + 0.9375);
  }
  const double v = t - 2.625 / 2.75;
  return b + d * (7.5625 * v * v + 0.984375);
}

double BounceIn(double b, double e, double t) { return b + ((e - b) - BounceOut(0, e - b, 1 - t)); }

double ElasticWave(double v) {
  return std::sin((v - kElasticPhase) * kTwoPi / kElasticPeriod);
}

}  // namespace

double Ease(int type, double t, int start, int end) {
  if (Less(t, 0)) {
    t = 0;
  } else if (t - 1 > kTolerance) {
    t = 1;
  }
  const double b = start;
  const double e = end;
  const double d = e - b;
  const double half = d / 2;
  const double u = 2 * t;

  switch (type) {
    case kEaseQuadIn:
      return b + d * t * t;
    case kEaseQuadOut:
      return b - d * t * (t - 2);
    case kEaseQuadInOut: {
      if (Less(u, 1)) return b + half * u * u;
      const double v = u - 1;
      return b - half * (v * (v - 2) - 1);
    }
    case kEaseCubicIn:
      return b + d * t * t * t;
    case kEaseCubicOut: {
      const double v = t - 1;
      return b + d * (v * v * v + 1);
    }
    case kEaseCubicInOut: {
      if (Less(u, 1)) return b + half * u * u * u;
      const double v = u - 2;
      return b + half * (v * v * v + 2);
    }
    case kEaseQuartIn:
      return b + d * t * t * t * t;
    case kEaseQuartOut: {
      const double v = t - 1;
      return b - d * (v * v * v * v - 1);
    }
    case kEaseQuartInOut: {
      if (Less(u, 1)) return b + half * u * u * u * u;
      const double v = u - 2;
      return b - half * (v * v * v * v - 2);
    }
    case kEaseQuintIn:
      return b + d * t * t * t * t * t;
    case kEaseQuintOut: {
      const double v = t - 1;
      return b + d * (v * v * v * v * v + 1);
    }
    case kEaseQuintInOut: {
      if (Less(u, 1)) return b + half * u * u * u * u * u;
      const double v = u - 2;
      return b + half * (v * v * v * v * v + 2);
    }
    case kEaseSineIn:
      return b + d - d * std::cos(t * kPi / 2);
    case kEaseSineOut:
      return b + d * std::sin(t * kPi / 2);
    case kEaseSineInOut:
      return b - half * (std::cos(kPi * t) - 1);
    case kEaseExpoIn:
      return b + d * std::pow(2.0, 10 * (t - 1));
    case kEaseExpoOut:
      return b + d * (1 - std::pow(2.0, -10 * t));
    case kEaseExpoInOut:
      if (Less(u, 1)) return b + half * std::pow(2.0, 10 * (u - 1));
      return b + half * (2 - std::pow(2.0, -10 * (u - 1)));
    case kEaseCircIn:
      return b - d * (RootOf(1 - t * t) - 1);
    case kEaseCircOut:
      return b + d * RootOf(1 - (t - 1) * (t - 1));
    case kEaseCircInOut:
      if (Less(u, 1)) return b - half * (RootOf(1 - u * u) - 1);
      return b + half * (RootOf(1 - (u - 2) * (u - 2)) + 1);
    case kEaseBounceIn:
      return b + (d - BounceOut(0, d, 1 - t));
    case kEaseBounceOut:
      return BounceOut(b, e, t);
    case kEaseBounceInOut:
      if (Less(t, 0.5)) return b + 0.5 * BounceIn(0, d, 2 * t);
      return b + 0.5 * BounceOut(0, d, 2 * t - 1) + 0.5 * d;
    case kEaseBackIn:
      return b + d * t * t * (2.70158 * t - 1.70158);
    case kEaseBackOut: {
      const double v = t - 1;
      return b + d * (v * v * (2.70158 * v + 1.70158) + 1);
    }
    case kEaseBackInOut: {
      if (Less(u, 1)) return b + half * u * u * (3.5949095 * u - 2.5949095);
      const double v = u - 2;
      return b + half * (v * v * (3.5949095 * v + 2.5949095) + 2);
    }
    case kEaseElasticIn: {
      if (Equal(t, 0)) return b;
      if (Equal(t, 1)) return e;
      const double v = t - 1;
      return b - d * std::pow(2.0, 10 * v) * ElasticWave(v);
    }
    case kEaseElasticOut:
      if (Equal(t, 0)) return b;
      if (Equal(t, 1)) return e;
      return e + d * std::pow(2.0, -10 * t) * ElasticWave(t);
    case kEaseElasticInOut: {
      if (Equal(t, 0)) return b;
      if (Equal(u, 2)) return e;
      const double v = u - 1;
      if (AtLeast(u, 1)) return e + 0.5 * d * std::pow(2.0, -10 * v) * ElasticWave(v);
      return b - 0.5 * d * std::pow(2.0, 10 * v) * ElasticWave(v);
    }
    case kEaseAngle:
      if (Less(d, -180)) return b + ((360 - b) + e) * t;
      if (d - 180 > kTolerance) return b - ((360 - e) + b) * t;
      return b + d * t;
    case kEaseSpring: {
      const double rest = std::max(0.0, 1 - t);
      return b + d * (std::sin(kPi * t * (2.5 * t * t * t + 0.2)) * std::pow(rest, 2.2) + t) *
                     (1 + 1.2 * (1 - t));
    }
    case kEasePunch:
      if (Equal(t, 0) || Equal(t, 1)) return 0;
      return e * std::pow(2.0, -10 * t) * std::sin(t * kTwoPi / kElasticPeriod);
    default:
      return 0;
  }
}
