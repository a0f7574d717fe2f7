#include "random.h"

#include <cmath>

namespace klx::content {

uint32_t Random::Next() {
  const uint64_t old = state_;
  state_ = old * 6364136223846793005ull + 1442695040888963407ull;
  const uint32_t shifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
  const uint32_t rotation = static_cast<uint32_t>(old >> 59u);
  return (shifted >> rotation) | (shifted << ((-rotation) & 31u));
}

namespace {

float Lattice(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

int32_t Wrap(int32_t v, int period) {
  if (period <= 0) return v;
  v %= period;
  return v < 0 ? v + period : v;
}

float Smooth(float t) { return t * t * (3.0f - 2.0f * t); }

}  // namespace

float ValueNoise(float x, float y, uint32_t seed, int period) {
  const float fx = std::floor(x), fy = std::floor(y);
  const int32_t x0 = static_cast<int32_t>(fx), y0 = static_cast<int32_t>(fy);
  const float tx = Smooth(x - fx), ty = Smooth(y - fy);
  const float a = Lattice(Wrap(x0, period), Wrap(y0, period), seed);
  const float b = Lattice(Wrap(x0 + 1, period), Wrap(y0, period), seed);
  const float c = Lattice(Wrap(x0, period), Wrap(y0 + 1, period), seed);
  const float d = Lattice(Wrap(x0 + 1, period), Wrap(y0 + 1, period), seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float FractalNoise(float x, float y, int octaves, uint32_t seed, int period, float gain) {
  float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
  for (int i = 0; i < octaves; ++i) {
    sum += amplitude * ValueNoise(x, y, seed + static_cast<uint32_t>(i) * 101u, period);
    total += amplitude;
    amplitude *= gain;
    x *= 2.0f;
    y *= 2.0f;
    if (period > 0) period *= 2;
  }
  return sum / total;
}

}  // namespace klx::content
