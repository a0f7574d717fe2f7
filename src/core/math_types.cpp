#include "core/math_types.h"

#include <algorithm>

namespace klx {

namespace {

uint32_t PackChannel(float value) {
  const float clamped = std::clamp(value, 0.0f, 1.0f);
  return static_cast<uint32_t>(clamped * 255.0f + 0.5f);
}

}  // namespace

uint32_t Color::ToARGB() const {
  return (PackChannel(a) << 24) | (PackChannel(r) << 16) | (PackChannel(g) << 8) | PackChannel(b);
}

Color Color::FromARGB(uint32_t argb) {
  return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
          ((argb >> 24) & 0xFF) / 255.0f};
}

Quaternion Quaternion::FromAxisAngle(const Vector3& axis, float angle) {
  const float s = std::sin(angle * 0.5f);
  return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f)};
}

Quaternion Quaternion::Hamilton(const Quaternion& p, const Quaternion& q) {
  return {p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y,
          p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
          p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w,
          p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z};
}

Quaternion Quaternion::FromRows(const Vector3& right, const Vector3& up, const Vector3& forward) {
  const float r[3][3] = {{right.x, right.y, right.z}, {up.x, up.y, up.z}, {forward.x, forward.y, forward.z}};
  const float trace = r[0][0] + r[1][1] + r[2][2];
  Quaternion q;
  // From the largest of w, x, y, z, which keeps the division well away
  // from zero.
  if (trace > 0.0f) {
    const float s = std::sqrt(trace + 1.0f) * 2.0f;
    q = {(r[1][2] - r[2][1]) / s, (r[2][0] - r[0][2]) / s, (r[0][1] - r[1][0]) / s, 0.25f * s};
  } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
    const float s = std::sqrt(1.0f + r[0][0] - r[1][1] - r[2][2]) * 2.0f;
    q = {0.25f * s, (r[0][1] + r[1][0]) / s, (r[2][0] + r[0][2]) / s, (r[1][2] - r[2][1]) / s};
  } else if (r[1][1] > r[2][2]) {
    const float s = std::sqrt(1.0f + r[1][1] - r[0][0] - r[2][2]) * 2.0f;
    q = {(r[0][1] + r[1][0]) / s, 0.25f * s, (r[1][2] + r[2][1]) / s, (r[2][0] - r[0][2]) / s};
  } else {
    const float s = std::sqrt(1.0f + r[2][2] - r[0][0] - r[1][1]) * 2.0f;
    q = {(r[2][0] + r[0][2]) / s, (r[1][2] + r[2][1]) / s, 0.25f * s, (r[0][1] - r[1][0]) / s};
  }
  return q.Normalized();
}

Quaternion Quaternion::Normalized() const {
  const float length = std::sqrt(x * x + y * y + z * z + w * w);
  if (length <= 0) return Identity();
  const float inv = 1.0f / length;
  return {x * inv, y * inv, z * inv, w * inv};
}

Vector3 Quaternion::Rotate(const Vector3& v) const {
  // v' = v + 2w(u x v) + 2u x (u x v), with u the vector part.
  const Vector3 u{x, y, z};
  const Vector3 t = u.Cross(v) * 2.0f;
  return v + t * w + u.Cross(t);
}

Matrix4 Matrix4::Identity() {
  Matrix4 r;
  for (int i = 0; i < 4; ++i) r.m[i][i] = 1;
  return r;
}

Matrix4 Matrix4::Translation(const Vector3& t) {
  Matrix4 r = Identity();
  r.m[3][0] = t.x;
  r.m[3][1] = t.y;
  r.m[3][2] = t.z;
  return r;
}

Matrix4 Matrix4::Scaling(const Vector3& s) {
  Matrix4 r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  r.m[3][3] = 1;
  return r;
}

Matrix4 Matrix4::Rotation(const Quaternion& q) {
  // Rows are the images of the x, y and z axes (row-vector convention).
  const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
  const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
  const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
  Matrix4 r = Identity();
  r.m[0][0] = 1 - 2 * (yy + zz);
  r.m[0][1] = 2 * (xy + wz);
  r.m[0][2] = 2 * (xz - wy);
  r.m[1][0] = 2 * (xy - wz);
  r.m[1][1] = 1 - 2 * (xx + zz);
  r.m[1][2] = 2 * (yz + wx);
  r.m[2][0] = 2 * (xz + wy);
  r.m[2][1] = 2 * (yz - wx);
  r.m[2][2] = 1 - 2 * (xx + yy);
  return r;
}

Matrix4 Matrix4::operator*(const Matrix4& o) const {
  Matrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j] +
                  m[i][3] * o.m[3][j];
    }
  }
  return r;
}

bool Matrix4::operator==(const Matrix4& o) const {
  return std::equal(&m[0][0], &m[0][0] + 16, &o.m[0][0]);
}

Matrix4 Matrix4::Transposed() const {
  Matrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) r.m[i][j] = m[j][i];
  }
  return r;
}

bool Matrix4::Inverse(Matrix4* out) const {
  // Gauss-Jordan elimination with partial pivoting, in double precision.
  double a[4][8];
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      a[i][j] = m[i][j];
      a[i][j + 4] = i == j ? 1.0 : 0.0;
    }
  }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int row = col + 1; row < 4; ++row) {
      if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) pivot = row;
    }
    if (std::fabs(a[pivot][col]) < 1e-12) {
      *out = Identity();
      return false;
    }
    if (pivot != col) std::swap(a[pivot], a[col]);
    const double inv = 1.0 / a[col][col];
    for (double& value : a[col]) value *= inv;
    for (int row = 0; row < 4; ++row) {
      if (row == col) continue;
      const double factor = a[row][col];
      for (int j = 0; j < 8; ++j) a[row][j] -= factor * a[col][j];
    }
  }
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) out->m[i][j] = static_cast<float>(a[i][j + 4]);
  }
  return true;
}

Vector3 Matrix4::TransformPoint(const Vector3& p) const {
  return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
          p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
          p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Vector3 Matrix4::TransformVector(const Vector3& v) const {
  return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0],
          v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
          v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

Vector4 Matrix4::Transform(const Vector4& v) const {
  Vector4 r;
  float* out[4] = {&r.x, &r.y, &r.z, &r.w};
  for (int j = 0; j < 4; ++j) {
    *out[j] = v.x * m[0][j] + v.y * m[1][j] + v.z * m[2][j] + v.w * m[3][j];
  }
  return r;
}

}  // namespace klx
