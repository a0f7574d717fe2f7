#pragma once
// The componentwise minimum and maximum of an array of points (12 bytes
// apart), in two implementations: four lanes at a time with SSE2 where the
// build targets x86-64, and a plain loop unrolled by four points. Neither
// reads past the last point.

#include <cstdint>

#include "core/math_types.h"

namespace klx {

// count must be at least 1.
void PointBoundsPlain(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum);
void PointBoundsSimd(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum);
// The SIMD routine where the build has it, else the plain one.
void PointBounds(const Vector3* points, int32_t count, Vector3* minimum, Vector3* maximum);
// Whether PointBoundsSimd really uses vector instructions in this build.
bool PointBoundsHasSimd();

}  // namespace klx
