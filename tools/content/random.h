#pragma once
// Deterministic randomness for generated content: a small PCG generator
// and smooth value noise. The same seed gives the same content on every
// machine and build.

#include <algorithm>
#include <cstdint>

namespace klx::content {

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 2862933555777941757ull + 3037000493ull) { Next(); }
  uint32_t Next();
  // Uniform in [0, 1).
  float Unit() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }
  float Range(float low, float high) { return low + (high - low) * Unit(); }
  int32_t Int(int32_t low, int32_t highExclusive) {
    return low + static_cast<int32_t>(Next() % static_cast<uint32_t>(highExclusive - low));
  }

 private:
  uint64_t state_;
};

// 0 below edge0, 1 above edge1, a smooth step between (edge0 may be the
// larger, for a step down).
inline float SmoothStep(float edge0, float edge1, float x) {
  const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
  return t * t * (3.0f - 2.0f * t);
}

// Value noise in [0, 1] on an integer lattice, smoothly interpolated;
// `period` > 0 makes it tile with that period (in lattice units).
float ValueNoise(float x, float y, uint32_t seed, int period = 0);
// Fractal sum of octaves (each twice the frequency and `gain` times the
// amplitude), normalised to [0, 1]; tiles when `period` > 0.
float FractalNoise(float x, float y, int octaves, uint32_t seed, int period = 0, float gain = 0.5f);

}  // namespace klx::content
