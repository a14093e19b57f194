#include "scene/Easing.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kBackS = 1.70158f;

float Bounce(float x) {
  if (x < 0.3636364f) return 7.5625f * x * x;
  if (x < 0.7352941f) {
    const float k = x - 0.5454545f;
    return 7.5625f * k * k + 0.75f;
  }
  if (x < 0.9090909f) {
    const float k = x - 0.8181818f;
    return 7.5625f * k * k + 0.9375f;
  }
  const float k = x - 0.9545454f;
  return 7.5625f * k * k + 0.984375f;
}

float Elastic(TvxAnimationType type, float t, float d) {
  const float u = t / d;
  if (t == 0) return 0;
  if (type == vgAnimationInOut) {
    const float h = 2 * u;
    if (h == 2) return 1;
    const float p = 0.45f * d, s = p / 4, k = h - 1;
    const float wave = std::sin((k * d - s) * 2 * kPi / p);
    if (h < 1) return -std::pow(2.0f, 10 * k) * wave / 2;
    return std::pow(2.0f, -10 * k) * wave / 2 + 1;
  }
  if (u == 1) return 1;
  const float p = 0.3f * d, s = p / 4;
  if (type == vgAnimationIn) {
    const float k = u - 1;
    return -std::pow(2.0f, 10 * k) * std::sin((k * d - s) * 2 * kPi / p);
  }
  return std::pow(2.0f, -10 * u) * std::sin((u * d - s) * 2 * kPi / p) + 1;
}

float Exponential(TvxAnimationType type, float t, float d) {
  const float u = t / d;
  switch (type) {
    case vgAnimationIn:
      return t == 0 ? 0 : std::pow(2.0f, 10 * (u - 1));
    case vgAnimationOut:
      return t == d ? 1 : 1 - std::pow(2.0f, -10 * u);
    case vgAnimationInOut: {
      if (t == 0) return 0;
      if (t == d) return 1;
      const float h = 2 * u;
      if (h < 1) return std::pow(2.0f, 10 * (h - 1)) / 2;
      return (2 - std::pow(2.0f, -10 * (h - 1))) / 2;
    }
  }
  return u;
}

// Polynomial kinds: u^n in, mirrored out, halves for in-out (the table's closed forms).
float Power(int n, TvxAnimationType type, float u) {
  switch (type) {
    case vgAnimationIn:
      return std::pow(u, float(n));
    case vgAnimationOut:
      return 1 - std::pow(1 - u, float(n));
    case vgAnimationInOut: {
      const float h = 2 * u;
      if (h < 1) return std::pow(h, float(n)) / 2;
      if (n == 2) {
        const float k = h - 1;
        return -(k * (k - 2) - 1) / 2;
      }
      const float k = h - 2;
      if (n % 2 == 1) return (std::pow(k, float(n)) + 2) / 2;
      return -(std::pow(k, float(n)) - 2) / 2;
    }
  }
  return u;
}

float Circular(TvxAnimationType type, float u) {
  switch (type) {
    case vgAnimationIn:
      return -(std::sqrt(1 - u * u) - 1);
    case vgAnimationOut:
      return std::sqrt(1 - (u - 1) * (u - 1));
    case vgAnimationInOut: {
      const float h = 2 * u;
      if (h < 1) return -(std::sqrt(1 - h * h) - 1) / 2;
      const float k = h - 2;
      return (std::sqrt(1 - k * k) + 1) / 2;
    }
  }
  return u;
}

float Back(TvxAnimationType type, float u) {
  const float s = kBackS;
  switch (type) {
    case vgAnimationIn:
      return u * u * ((s + 1) * u - s);
    case vgAnimationOut: {
      const float k = u - 1;
      return k * k * ((s + 1) * k + s) + 1;
    }
    case vgAnimationInOut: {
      const float s2 = 1.525f * s, h = 2 * u;
      if (h < 1) return h * h * ((s2 + 1) * h - s2) / 2;
      const float k = h - 2;
      return (k * k * ((s2 + 1) * k + s2) + 2) / 2;
    }
  }
  return u;
}

float BounceEase(TvxAnimationType type, float u) {
  switch (type) {
    case vgAnimationIn:
      return 1 - Bounce(1 - u);
    case vgAnimationOut:
      return Bounce(u);
    case vgAnimationInOut: {
      const float h = 2 * u;
      if (u < 0.5f) return (1 - Bounce(1 - h)) / 2;
      return (Bounce(h - 1) + 1) / 2;
    }
  }
  return u;
}

float Sinusoidal(TvxAnimationType type, float u) {
  switch (type) {
    case vgAnimationIn:
      return 1 - std::cos(u * kPi / 2);
    case vgAnimationOut:
      return std::sin(u * kPi / 2);
    case vgAnimationInOut:
      return -(std::cos(kPi * u) - 1) / 2;
  }
  return u;
}

}  // namespace

float vgInterpolate(TvxInterpolationType kind, TvxAnimationType type, float t, float d) {
  if (d <= 0) return 0;
  const float u = t / d;
  switch (kind) {
    case vgInterpolationLinear:
      return u;
    case vgInterpolationQuadratic:
      return Power(2, type, u);
    case vgInterpolationCubic:
      return Power(3, type, u);
    case vgInterpolationQuartic:
      return Power(4, type, u);
    case vgInterpolationQuintic:
      return Power(5, type, u);
    case vgInterpolationSinusoidal:
      return Sinusoidal(type, u);
    case vgInterpolationExponential:
      return Exponential(type, t, d);
    case vgInterpolationCircular:
      return Circular(type, u);
    case vgInterpolationElastic:
      return Elastic(type, t, d);
    case vgInterpolationBack:
      return Back(type, u);
    case vgInterpolationBounce:
      return BounceEase(type, u);
  }
  return u;
}
