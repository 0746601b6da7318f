#pragma once
// Easing curves: the value between `start` and `end` at progress t (0..1) along curve `type`.

// Curve numbers 1-33; every other number gives 0.
enum EaseType : int {
  kEaseQuadIn = 1,
  kEaseQuadOut,
  kEaseQuadInOut,
  kEaseCubicIn,
  kEaseCubicOut,
  kEaseCubicInOut,
  kEaseQuartIn,
  kEaseQuartOut,
  kEaseQuartInOut,
  kEaseQuintIn,
  kEaseQuintOut,
  kEaseQuintInOut,
  kEaseSineIn,
  kEaseSineOut,
  kEaseSineInOut,
  kEaseExpoIn,
  kEaseExpoOut,
  kEaseExpoInOut,
  kEaseCircIn,
  kEaseCircOut,
  kEaseCircInOut,
  kEaseBounceIn,
  kEaseBounceOut,
  kEaseBounceInOut,
  kEaseBackIn,
  kEaseBackOut,
  kEaseBackInOut,
  kEaseElasticIn,
  kEaseElasticOut,
  kEaseElasticInOut,
  kEaseAngle,  // the shortest way round a 360-degree circle
  kEaseSpring,
  kEasePunch,  // swings around 0 with amplitude `end`, back to 0 at both ends
};

// t below 0 counts as 0 and above 1 as 1 (each with a tolerance of 1e-7).
double Ease(int type, double t, int start, int end);
