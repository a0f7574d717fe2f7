#include "animation/slerp.h"

#include <cmath>

namespace klx {

Quaternion Slerp(const Quaternion& q0, const Quaternion& q1, float t) {
  float c = q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w;
  const float sign = c < 0.0f ? -1.0f : 1.0f;
  c = std::fabs(c);
  if (1.0f - c <= 1.1920929e-7f) return q0;
  const float theta = std::acos(c);
  const float sine = std::sin(theta);
  const float a = std::sin((1.0f - t) * theta) / sine;
  const float b = sign * std::sin(t * theta) / sine;
  return Quaternion{q0.x * a + q1.x * b, q0.y * a + q1.y * b, q0.z * a + q1.z * b, q0.w * a + q1.w * b};
}

}  // namespace klx
