// Transforms and sphere volumes.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "scene/bounding_volume.h"
#include "scene/point_bounds.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

constexpr float kPi = 3.14159265f;

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

Transform Make(const Vector3& scale, const Quaternion& rotation, const Vector3& translation) {
  Transform t;
  SetScale(t, scale);
  SetRotation(t, rotation);
  SetTranslation(t, translation);
  return t;
}

TEST(Transform, IdentityShortcutsAndPointMapping) {
  Transform identity;
  EXPECT_TRUE(identity.isIdentity);
  // Flags are shortcuts: an identity record returns its input even if its
  // components were changed behind its back.
  identity.translation = {5, 5, 5};
  ExpectNear(TransformPoint(identity, {1, 2, 3}), {1, 2, 3});

  const Transform t = Make({2, 3, 4}, Quaternion::FromAxisAngle({0, 0, 1}, kPi / 2), {10, 0, 0});
  EXPECT_FALSE(t.isIdentity);
  EXPECT_FALSE(t.rotationIsIdentity);
  // (1, 1, 1) scaled is (2, 3, 4); a quarter turn about z gives (-3, 2, 4).
  ExpectNear(TransformVector(t, {1, 1, 1}), {-3, 2, 4});
  ExpectNear(TransformPoint(t, {1, 1, 1}), {7, 2, 4});
  // The renderer's matrix maps points the same way (row vectors).
  const Matrix4 m = ToMatrix(t);
  ExpectNear(m.TransformPoint({1, 1, 1}), TransformPoint(t, {1, 1, 1}));
  ExpectNear(m.TransformPoint({-2, 0.5f, 3}), TransformPoint(t, {-2, 0.5f, 3}));
}

TEST(Transform, ComposeScalesPerComponentAndRotatesLocalFirst) {
  Transform parent = Make({1, 2, 1}, Quaternion::FromAxisAngle({0, 1, 0}, kPi / 2), {0, 0, 5});
  Transform child = Make({3, 1, 1}, Quaternion::FromAxisAngle({0, 0, 1}, kPi / 2), {1, 0, 0});
  const Transform world = Compose(child, parent);
  ExpectNear(world.scale, {3, 2, 1});
  ExpectNear(world.translation, TransformPoint(parent, {1, 0, 0}));
  // Local rotation first, then the parent's.
  const Vector3 v{1, 0, 0};
  ExpectNear(world.rotation.Rotate(v), parent.rotation.Rotate(child.rotation.Rotate(v)));
  EXPECT_FALSE(world.isIdentity);
  EXPECT_FALSE(world.rotationIsIdentity);
  // Identity on either side hands over the other unchanged.
  Transform identity;
  EXPECT_EQ(Compose(identity, parent).translation, parent.translation);
  EXPECT_EQ(Compose(child, identity).translation, child.translation);
  EXPECT_FALSE(Compose(child, identity).isIdentity);
}

using SphereTest = test::EngineTest;

Ref<SphereBoundingVolume> Sphere(const Vector3& center, float radius) {
  Ref<SphereBoundingVolume> sphere(new SphereBoundingVolume());
  sphere->Set(center, radius);
  return sphere;
}

TEST_F(SphereTest, MergeContainmentAndGrowth) {
  auto big = Sphere({0, 0, 0}, 10);
  auto small = Sphere({1, 0, 0}, 2);
  ASSERT_EQ(big->Merge(small.Get()), kOk);
  ExpectNear(big->GetCenter(), {0, 0, 0});
  EXPECT_FLOAT_EQ(big->GetRadius(), 10);
  auto inner = Sphere({1, 0, 0}, 2);
  auto outer = Sphere({0, 0, 0}, 10);
  ASSERT_EQ(inner->Merge(outer.Get()), kOk);
  EXPECT_FLOAT_EQ(inner->GetRadius(), 10);
  // Apart: the union spans both.
  auto a = Sphere({0, 0, 0}, 1);
  auto b = Sphere({10, 0, 0}, 2);
  ASSERT_EQ(a->Merge(b.Get()), kOk);
  EXPECT_FLOAT_EQ(a->GetRadius(), 6.5f);
  ExpectNear(a->GetCenter(), {5.5f, 0, 0});
  EXPECT_EQ(a->Merge(nullptr), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Указатель на объём равен 0 при слиянии. Имя[%s] ID[%d].", "",
                                              a->GetID())));
}

TEST_F(SphereTest, TransformIntersectAndSides) {
  auto unit = Sphere({1, 0, 0}, 1);
  SphereBoundingVolume target;
  const Transform t = Make({2, 3, 4}, Quaternion::Identity(), {0, 5, 0});
  ASSERT_EQ(unit->TransformInto(&target, t), kOk);
  EXPECT_FLOAT_EQ(target.GetRadius(), 2);  // only the x scale
  ExpectNear(target.GetCenter(), {2, 5, 0});
  EXPECT_EQ(unit->TransformInto(nullptr, t), kInvalidArg);

  EXPECT_TRUE(Sphere({0, 0, 0}, 1)->Intersects(unit.Get()));  // touching
  EXPECT_FALSE(Sphere({-0.5f, 0, 0}, 0.4f)->Intersects(unit.Get()));
  EXPECT_FALSE(unit->Intersects(nullptr));

  float t0 = 0, t1 = 0;
  EXPECT_TRUE(unit->IntersectRay({{-5, 0, 0}, {1, 0, 0}}, &t0, &t1));
  EXPECT_FLOAT_EQ(t0, 7);
  EXPECT_FLOAT_EQ(t1, 5);
  EXPECT_FALSE(unit->IntersectRay({{-5, 3, 0}, {1, 0, 0}}, &t0, &t1));

  const Plane xPlane{{1, 0, 0}, 0};
  EXPECT_EQ(Sphere({2, 0, 0}, 1)->WhichSide(xPlane), 1);
  EXPECT_EQ(Sphere({-2, 0, 0}, 1)->WhichSide(xPlane), -1);
  EXPECT_EQ(Sphere({0.5f, 0, 0}, 1)->WhichSide(xPlane), 0);
}

TEST_F(SphereTest, GenerateFromVerticesUsesTheBoxCentre) {
  const Vector3 points[] = {{0, 0, 0}, {4, 0, 0}, {0, 2, 0}, {1, 1, 6}};
  SphereBoundingVolume sphere;
  ASSERT_EQ(sphere.GenerateFromVertices(points, 4), kOk);
  ExpectNear(sphere.GetCenter(), {2, 1, 3});
  EXPECT_NEAR(sphere.GetRadius(), std::sqrt(14.0f), 1e-5f);
  EXPECT_EQ(sphere.GenerateFromVertices(nullptr, 4), kInvalidArg);
  EXPECT_EQ(sphere.GenerateFromVertices(points, 0), kInvalidArg);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Нет вершин в буффере при генерации объёма. Имя[%s] ID[%d].", "",
                                              sphere.GetID())));
}

TEST(PointBounds, SimdAndPlainAgreeForEveryCountWithoutReadingPast) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> value(-100, 100);
  for (int32_t count = 1; count <= 41; ++count) {
    // Exactly `count` points on the heap: ASan catches any read past them.
    std::vector<Vector3> points(static_cast<size_t>(count));
    for (Vector3& p : points) p = {value(random), value(random), value(random)};
    Vector3 plainLow, plainHigh, simdLow, simdHigh;
    PointBoundsPlain(points.data(), count, &plainLow, &plainHigh);
    PointBoundsSimd(points.data(), count, &simdLow, &simdHigh);
    EXPECT_EQ(plainLow, simdLow) << count;
    EXPECT_EQ(plainHigh, simdHigh) << count;
    for (const Vector3& p : points) {
      EXPECT_LE(plainLow.x, p.x);
      EXPECT_GE(plainHigh.z, p.z);
    }
  }
}

}  // namespace
}  // namespace klx
