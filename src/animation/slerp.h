#pragma once
// Spherical interpolation of rotations.

#include "core/math_types.h"

namespace klx {

// From q0 (t = 0) to q1 (t = 1) along the shorter arc (q1 is negated when
// the two point apart). Nearly equal rotations give q0 unchanged; the
// result is not renormalised.
Quaternion Slerp(const Quaternion& q0, const Quaternion& q1, float t);

}  // namespace klx
