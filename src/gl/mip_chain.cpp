#include "gl/mip_chain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace klx::d3d {
namespace {

uint32_t Half(uint32_t size) { return std::max(1u, size / 2); }

// Half floats, enough for the filter: converted to float and back with
// round-to-nearest-even.
float HalfToFloat(uint16_t half) {
  const uint32_t sign = (half >> 15) & 1;
  const uint32_t exponent = (half >> 10) & 0x1F;
  const uint32_t mantissa = half & 0x3FF;
  float value = 0;
  if (exponent == 0) {
    value = std::ldexp(static_cast<float>(mantissa), -24);
  } else if (exponent == 31) {
    value = mantissa == 0 ? INFINITY : NAN;
  } else {
    value = std::ldexp(static_cast<float>(mantissa | 0x400), static_cast<int>(exponent) - 25);
  }
  return sign != 0 ? -value : value;
}

uint16_t FloatToHalf(float value) {
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const uint32_t sign = (bits >> 16) & 0x8000;
  const uint32_t exponent = (bits >> 23) & 0xFF;
  uint32_t mantissa = bits & 0x7FFFFF;
  if (exponent == 0xFF) return static_cast<uint16_t>(sign | 0x7C00 | (mantissa != 0 ? 0x200 : 0));
  const int unbiased = static_cast<int>(exponent) - 127 + 15;
  if (unbiased >= 31) return static_cast<uint16_t>(sign | 0x7C00);
  if (unbiased <= 0) {
    if (unbiased < -10) return static_cast<uint16_t>(sign);
    mantissa |= 0x800000;
    const uint32_t shift = static_cast<uint32_t>(14 - unbiased);
    uint32_t half = mantissa >> shift;
    const uint32_t rest = mantissa & ((1u << shift) - 1);
    const uint32_t halfway = 1u << (shift - 1);
    if (rest > halfway || (rest == halfway && (half & 1) != 0)) ++half;
    return static_cast<uint16_t>(sign | half);
  }
  uint32_t half = (static_cast<uint32_t>(unbiased) << 10) | (mantissa >> 13);
  const uint32_t rest = mantissa & 0x1FFF;
  if (rest > 0x1000 || (rest == 0x1000 && (half & 1) != 0)) ++half;
  return static_cast<uint16_t>(sign | half);
}

}  // namespace

uint32_t BytesPerTexel(Format format) {
  switch (format) {
    case kFmtA8R8G8B8:
    case kFmtX8R8G8B8:
      return 4;
    case kFmtA8:
      return 1;
    case kFmtR5G6B5:
      return 2;
    case kFmtA16B16G16R16F:
      return 8;
    default:
      return 0;
  }
}

uint32_t FullMipLevelCount(uint32_t width, uint32_t height, uint32_t depth) {
  uint32_t largest = std::max({width, height, depth, 1u});
  uint32_t levels = 1;
  while (largest > 1) {
    largest /= 2;
    ++levels;
  }
  return levels;
}

bool DownsampleLevel(Format format, const uint8_t* source, uint32_t width, uint32_t height,
                     uint32_t depth, std::vector<uint8_t>* next) {
  const uint32_t texel = BytesPerTexel(format);
  if (texel == 0 || format == kFmtR5G6B5) return false;
  const bool halves = format == kFmtA16B16G16R16F;
  const uint32_t channels = halves ? 4 : texel;
  const uint32_t nextWidth = Half(width), nextHeight = Half(height), nextDepth = Half(depth);
  next->assign(static_cast<size_t>(nextWidth) * nextHeight * nextDepth * texel, 0);
  // Source offsets of the (up to) two texels along each axis.
  auto pair = [](uint32_t index, uint32_t size, uint32_t out[2]) {
    out[0] = std::min(index * 2, size - 1);
    out[1] = std::min(index * 2 + 1, size - 1);
  };
  for (uint32_t z = 0; z < nextDepth; ++z) {
    uint32_t zs[2];
    pair(z, depth, zs);
    const uint32_t zCount = depth > 1 ? 2 : 1;
    for (uint32_t y = 0; y < nextHeight; ++y) {
      uint32_t ys[2];
      pair(y, height, ys);
      for (uint32_t x = 0; x < nextWidth; ++x) {
        uint32_t xs[2];
        pair(x, width, xs);
        uint8_t* out = next->data() + ((static_cast<size_t>(z) * nextHeight + y) * nextWidth + x) * texel;
        for (uint32_t c = 0; c < channels; ++c) {
          float sum = 0;
          uint32_t count = 0;
          for (uint32_t k = 0; k < zCount; ++k) {
            for (uint32_t j = 0; j < 2; ++j) {
              for (uint32_t i = 0; i < 2; ++i) {
                const uint8_t* in = source +
                    ((static_cast<size_t>(zs[k]) * height + ys[j]) * width + xs[i]) * texel;
                if (halves) {
                  uint16_t half = 0;
                  std::memcpy(&half, in + c * 2, 2);
                  sum += HalfToFloat(half);
                } else {
                  sum += in[c];
                }
                ++count;
              }
            }
          }
          const float mean = sum / static_cast<float>(count);
          if (halves) {
            const uint16_t half = FloatToHalf(mean);
            std::memcpy(out + c * 2, &half, 2);
          } else {
            out[c] = static_cast<uint8_t>(std::lround(mean));
          }
        }
      }
    }
  }
  return true;
}

}  // namespace klx::d3d
