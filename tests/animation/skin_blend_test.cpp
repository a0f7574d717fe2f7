// Blending bind-pose positions by bones on the processor: a two-bone bend
// against hand-computed positions, the plain and SIMD routines agreeing on
// random meshes, and vertices with bad bones or weights left in place.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "animation/skin_blend.h"

namespace klx {
namespace {

Matrix4 Affine(const Quaternion& rotation, const Vector3& translation, float scale) {
  return Matrix4::Scaling({scale, scale, scale}) * Matrix4::Rotation(rotation) * Matrix4::Translation(translation);
}

void ExpectNear(const Vector3& a, const Vector3& b, float tolerance, const char* what) {
  EXPECT_NEAR(a.x, b.x, tolerance) << what;
  EXPECT_NEAR(a.y, b.y, tolerance) << what;
  EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

TEST(SkinBlend, TwoBonesBendAJointOnBothRoutines) {
  // Bone 0 stays; bone 1 turns a quarter about z around (1, 0, 0) and
  // lifts by 2. A vertex wholly on bone 1 at (2, 0, 0) turns about the
  // joint; one shared half and half lands between the two.
  const Quaternion quarter{0, 0, std::sin(0.7853982f), std::cos(0.7853982f)};
  const Vector3 turned = quarter.Rotate(Vector3{1, 0, 0});  // where +x goes
  const Matrix4 bones[2] = {Matrix4::Identity(),
                            Matrix4::Translation({-1, 0, 0}) * Matrix4::Rotation(quarter) *
                                Matrix4::Translation({1, 2, 0})};
  const Vector3 positions[3] = {{0.5f, 0, 0}, {2, 0, 0}, {1.5f, 0, 0}};
  const Vector4 weights[3] = {{1, 0, 0, 0}, {1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}};
  const Vector4 indices[3] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}};
  SkinBlendInput input{positions, weights, indices, 3, bones, 2};
  const Vector3 expected[3] = {
      {0.5f, 0, 0},
      Vector3{1, 2, 0} + turned,
      Vector3{1.5f, 0, 0} * 0.5f + (Vector3{1, 2, 0} + turned * 0.5f) * 0.5f,
  };
  for (auto blend : {&BlendSkinPlain, &BlendSkinSimd}) {
    Vector3 out[3];
    blend(input, out);
    for (int v = 0; v < 3; ++v) ExpectNear(out[v], expected[v], 1e-5f, "bent vertex");
  }
}

TEST(SkinBlend, ThePlainAndSimdRoutinesAgreeOnRandomMeshes) {
  std::mt19937 random(2026);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::vector<Matrix4> bones;
  for (int b = 0; b < 20; ++b) {
    Quaternion q{unit(random), unit(random), unit(random), unit(random)};
    bones.push_back(Affine(q.Normalized(), {unit(random) * 10, unit(random) * 10, unit(random) * 10},
                           1.0f + 0.5f * unit(random)));
  }
  const int count = 2000;
  std::vector<Vector3> positions;
  std::vector<Vector4> weights, indices;
  for (int v = 0; v < count; ++v) {
    positions.push_back({unit(random) * 5, unit(random) * 5, unit(random) * 5});
    float w[4];
    float sum = 0;
    for (float& x : w) sum += (x = std::max(0.0f, unit(random)));  // some zero
    if (sum == 0) w[0] = sum = 1;
    weights.push_back({w[0] / sum, w[1] / sum, w[2] / sum, w[3] / sum});
    indices.push_back({float(random() % 20), float(random() % 20), float(random() % 20), float(random() % 20)});
  }
  SkinBlendInput input{positions.data(), weights.data(), indices.data(), count, bones.data(), 20};
  std::vector<Vector3> plain(count), simd(count);
  BlendSkinPlain(input, plain.data());
  BlendSkinSimd(input, simd.data());
  for (int v = 0; v < count; ++v) {
    const float scale = 1.0f + std::fabs(plain[v].x) + std::fabs(plain[v].y) + std::fabs(plain[v].z);
    ExpectNear(plain[v], simd[v], 1e-5f * scale, "random vertex");
  }
}

TEST(SkinBlend, BadBonesAndWeightsLeaveTheVertexInItsBindPose) {
  const Matrix4 bones[2] = {Matrix4::Translation({0, 5, 0}), Matrix4::Translation({0, -5, 0})};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Vector3 positions[6] = {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}, {6, 0, 0}};
  const Vector4 weights[6] = {{1, 0, 0, 0}, {0.5f, 0.5f, 0, 0}, {nan, 0, 0, 0}, {1, 0, 0, 0},
                              {1, 0, 0, 0}, {0.7f, 0.7f, 0, 0}};
  const Vector4 indices[6] = {{7, 0, 0, 0},          // past the palette
                              {0, 1e9f, 0, 0},       // far past it, weighted
                              {0, 0, 0, 0},          // weight not a number
                              {-1, 0, 0, 0},         // negative
                              {0, 99, 99, 99},       // unused bones may be anything
                              {0, 1, 0, 0}};         // weights over one: blended as given
  SkinBlendInput input{positions, weights, indices, 6, bones, 2};
  for (auto blend : {&BlendSkinPlain, &BlendSkinSimd}) {
    Vector3 out[6];
    blend(input, out);
    for (int v = 0; v < 4; ++v) ExpectNear(out[v], positions[v], 0.0f, "bad vertex");
    ExpectNear(out[4], Vector3{5, 5, 0}, 1e-6f, "unused bones");
    ExpectNear(out[5], Vector3{6 * 1.4f, 0, 0}, 1e-5f, "heavy weights");
  }
}

}  // namespace
}  // namespace klx
