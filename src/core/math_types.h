#pragma once
// The engine's math types: 32-bit floats, laid out in field order without
// padding (the stream writes them field by field). Matrices are row-major
// and use row vectors as in Direct3D: a point p maps to p * M, and the
// translation sits in row 3.

#include <cmath>
#include <cstdint>

namespace klx {

struct Vector2 {
  float x = 0, y = 0;
};

struct Vector3 {
  float x = 0, y = 0, z = 0;

  Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vector3 operator-() const { return {-x, -y, -z}; }
  Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
  // Component-wise product (scaling).
  Vector3 operator*(const Vector3& o) const { return {x * o.x, y * o.y, z * o.z}; }
  bool operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }
  float Dot(const Vector3& o) const { return x * o.x + y * o.y + z * o.z; }
  Vector3 Cross(const Vector3& o) const {
    return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
  }
  float Length() const { return std::sqrt(Dot(*this)); }
  // Unit vector in the same direction; the zero vector stays zero.
  Vector3 Normalized() const {
    const float length = Length();
    return length > 0 ? *this * (1.0f / length) : *this;
  }
};

struct Vector4 {
  float x = 0, y = 0, z = 0, w = 0;
  bool operator==(const Vector4& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
};

struct Color {
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Color& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  // Packed 8-bit ARGB as the device takes it; channels are clamped to 0..1.
  uint32_t ToARGB() const;
  static Color FromARGB(uint32_t argb);
};

// A rotation. Multiply(a, b) is the rotation a followed by b: the Hamilton
// product b * a, so that ToMatrix(Multiply(a, b)) == ToMatrix(a) * ToMatrix(b).
struct Quaternion {
  float x = 0, y = 0, z = 0, w = 1;

  bool operator==(const Quaternion& o) const {
    return x == o.x && y == o.y && z == o.z && w == o.w;
  }
  static Quaternion Identity() { return {0, 0, 0, 1}; }
  // Rotation by `angle` radians about a unit axis.
  static Quaternion FromAxisAngle(const Vector3& axis, float angle);
  // The rotation whose matrix has these rows (the images of the local x, y
  // and z axes); they must be orthonormal.
  static Quaternion FromRows(const Vector3& right, const Vector3& up, const Vector3& forward);
  // The plain Hamilton product p * q.
  static Quaternion Hamilton(const Quaternion& p, const Quaternion& q);
  static Quaternion Multiply(const Quaternion& first, const Quaternion& then) {
    return Hamilton(then, first);
  }
  Quaternion Conjugate() const { return {-x, -y, -z, w}; }
  Quaternion Normalized() const;
  // The vector rotated by this (unit) quaternion.
  Vector3 Rotate(const Vector3& v) const;
};

struct Matrix4 {
  float m[4][4] = {};

  static Matrix4 Identity();
  static Matrix4 Translation(const Vector3& t);
  static Matrix4 Scaling(const Vector3& s);
  static Matrix4 Rotation(const Quaternion& q);

  Matrix4 operator*(const Matrix4& o) const;
  bool operator==(const Matrix4& o) const;
  Matrix4 Transposed() const;
  // The inverse; false (and the identity) when the matrix is singular.
  bool Inverse(Matrix4* out) const;

  // p * M with w = 1 (no division by w).
  Vector3 TransformPoint(const Vector3& p) const;
  // v * M with w = 0.
  Vector3 TransformVector(const Vector3& v) const;
  Vector4 Transform(const Vector4& v) const;
};

// Scale, rotation and translation: a point maps to rotate(p * scale) +
// translation. The two flags are shortcuts that are true only for a
// default-made transform; anything that sets a component clears both.
struct Transform {
  Vector3 scale{1, 1, 1};
  Quaternion rotation{0, 0, 0, 1};
  Vector3 translation{0, 0, 0};
  bool isIdentity = true;
  bool rotationIsIdentity = true;
};

}  // namespace klx
