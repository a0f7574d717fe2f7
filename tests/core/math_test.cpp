#include <gtest/gtest.h>

#include <cmath>

#include "core/math_types.h"

namespace klx {
namespace {

constexpr float kHalfPi = 1.57079632679f;

void ExpectNear(const Vector3& a, const Vector3& b) {
  EXPECT_NEAR(a.x, b.x, 1e-5f);
  EXPECT_NEAR(a.y, b.y, 1e-5f);
  EXPECT_NEAR(a.z, b.z, 1e-5f);
}

TEST(Math, RowVectorMatricesPutTranslationInRowThree) {
  const Matrix4 t = Matrix4::Translation({1, 2, 3});
  EXPECT_EQ(t.m[3][0], 1);
  ExpectNear(t.TransformPoint({1, 1, 1}), {2, 3, 4});
  ExpectNear(t.TransformVector({1, 1, 1}), {1, 1, 1});
  // p * S * T: scale first, then move.
  const Matrix4 st = Matrix4::Scaling({2, 2, 2}) * t;
  ExpectNear(st.TransformPoint({1, 0, 0}), {3, 2, 3});
}

TEST(Math, QuaternionRotationMatchesItsMatrix) {
  const Quaternion qy = Quaternion::FromAxisAngle({0, 1, 0}, kHalfPi);
  // A quarter turn about +y takes +x to -z, as the Direct3D rotation does.
  ExpectNear(qy.Rotate({1, 0, 0}), {0, 0, -1});
  ExpectNear(Matrix4::Rotation(qy).TransformVector({1, 0, 0}), {0, 0, -1});
}

TEST(Math, ProductAppliesTheFirstRotationFirst) {
  const Quaternion a = Quaternion::FromAxisAngle({0, 0, 1}, kHalfPi);  // x -> y
  const Quaternion b = Quaternion::FromAxisAngle({1, 0, 0}, kHalfPi);  // y -> z
  const Quaternion ab = Quaternion::Multiply(a, b);
  ExpectNear(ab.Rotate({1, 0, 0}), b.Rotate(a.Rotate({1, 0, 0})));
  ExpectNear(ab.Rotate({1, 0, 0}), {0, 0, 1});
  const Matrix4 product = Matrix4::Rotation(a) * Matrix4::Rotation(b);
  const Matrix4 fromQuaternion = Matrix4::Rotation(ab);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(product.m[i][j], fromQuaternion.m[i][j], 1e-5f);
  }
}

TEST(Math, InverseUndoesAndSingularMatricesAreRefused) {
  const Matrix4 m = Matrix4::Scaling({2, 3, 4}) *
                    Matrix4::Rotation(Quaternion::FromAxisAngle({0, 1, 0}, 0.3f)) *
                    Matrix4::Translation({5, -1, 2});
  Matrix4 inverse;
  ASSERT_TRUE(m.Inverse(&inverse));
  ExpectNear(inverse.TransformPoint(m.TransformPoint({1, 2, 3})), {1, 2, 3});
  EXPECT_FALSE(Matrix4::Scaling({1, 0, 1}).Inverse(&inverse));
}

TEST(Math, ColorPacksToArgb) {
  EXPECT_EQ((Color{1, 0, 0.5f, 1}).ToARGB(), 0xFFFF0080u);
  EXPECT_EQ((Color{2, -1, 0, 0}).ToARGB(), 0x00FF0000u);  // clamped
  const Color c = Color::FromARGB(0x80FF4000u);
  EXPECT_FLOAT_EQ(c.r, 1.0f);
  EXPECT_NEAR(c.a, 128 / 255.0f, 1e-6f);
}

TEST(Math, DefaultTransformIsTheFlaggedIdentity) {
  const Transform t;
  EXPECT_TRUE(t.isIdentity);
  EXPECT_TRUE(t.rotationIsIdentity);
  EXPECT_EQ(t.scale, (Vector3{1, 1, 1}));
  EXPECT_EQ(t.rotation, Quaternion::Identity());
  static_assert(sizeof(Vector3) == 12 && sizeof(Quaternion) == 16 && sizeof(Matrix4) == 64);
}

}  // namespace
}  // namespace klx
