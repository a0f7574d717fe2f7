#pragma once
// Mip chains made on the processor with a box filter, so every driver gives
// the same texels: each texel of a level is the mean of the 2x2 (2x2x2 for
// volumes) texels below it; an odd or unit dimension repeats its last texel.

#include <cstdint>
#include <vector>

#include "device/d3d_types.h"

namespace klx::d3d {

// Bytes per texel of the formats textures come in; 0 for others.
uint32_t BytesPerTexel(Format format);
// The number of levels of a full chain down to 1x1(x1).
uint32_t FullMipLevelCount(uint32_t width, uint32_t height, uint32_t depth);

// The next level of a tightly packed level of `format`; false for a format
// the filter does not know.
bool DownsampleLevel(Format format, const uint8_t* source, uint32_t width, uint32_t height,
                     uint32_t depth, std::vector<uint8_t>* next);

}  // namespace klx::d3d
