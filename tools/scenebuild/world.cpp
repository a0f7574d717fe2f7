#include "world.h"

#include <algorithm>
#include <cmath>

#include "random.h"

namespace klx::scenebuild {

using content::SmoothStep;
Vector3 Normalize(const Vector3& v) {
  const float length = std::sqrt(v.Dot(v));
  return length > 0.0f ? v * (1.0f / length) : Vector3{0, 1, 0};
}

float LakeDepthFactor(float x, float z) {
  const float dx = (x - 25.0f) / 80.0f, dz = (z - 105.0f) / 58.0f;
  const float wobble = 0.12f * (content::ValueNoise(x / 30.0f, z / 30.0f, 77) - 0.5f);
  return 1.0f - std::sqrt(dx * dx + dz * dz) + wobble;
}

float RoadCentreX(float z) { return -52.0f + 14.0f * std::sin(z / 55.0f) + 6.0f * std::sin(z / 23.0f + 1.0f); }

float RoadDistance(float x, float z) { return std::fabs(x - RoadCentreX(z)); }

namespace {

// The ground before the road is levelled into it.
float NaturalHeight(float x, float z) {
  // Rolling valley floor, hills on both sides and at both ends.
  float h = 2.5f + 5.0f * content::FractalNoise(x / 70.0f + 10.0f, z / 70.0f + 10.0f, 4, 11);
  const float side = SmoothStep(55.0f, 190.0f, std::fabs(x - 10.0f));
  h += side * (35.0f + 45.0f * content::FractalNoise(x / 50.0f, z / 50.0f, 5, 23));
  h += SmoothStep(150.0f, 210.0f, z) * 30.0f * content::FractalNoise(x / 40.0f, 3.0f, 3, 31);
  h += SmoothStep(-150.0f, -210.0f, z) * 20.0f;
  // The lake's basin dips below the water.
  h -= 11.0f * SmoothStep(-0.25f, 0.35f, LakeDepthFactor(x, z));
  return h;
}

}  // namespace

float GroundHeight(float x, float z) {
  // The road runs on a bed level across its width and above the water.
  const float bed = std::max(NaturalHeight(RoadCentreX(z), z), 1.4f);
  const float road = SmoothStep(kRoadHalfWidth + 24.0f, kRoadHalfWidth + 5.0f, RoadDistance(x, z));
  const float h = NaturalHeight(x, z);
  return h + (bed - h) * road;
}

Vector3 GroundNormal(float x, float z) {
  const float e = 1.0f;
  const float dx = GroundHeight(x + e, z) - GroundHeight(x - e, z);
  const float dz = GroundHeight(x, z + e) - GroundHeight(x, z - e);
  return Normalize(Vector3{-dx, 2.0f * e, -dz});
}

Vector3 SunDirection() { return Normalize(Vector3{0.28f, 0.2f, 1.0f}); }

content::Rgba Lit(const content::Rgba& base, const Vector3& normal) {
  const float sun = std::max(0.0f, normal.Dot(SunDirection()));
  const float sky = 0.55f + 0.45f * std::clamp(normal.y, -1.0f, 1.0f);
  const content::Rgba sunLight{1.05f, 0.74f, 0.46f, 1};
  const content::Rgba skyLight{0.30f, 0.32f, 0.44f, 1};
  return {base.r * (skyLight.r * sky + sunLight.r * sun), base.g * (skyLight.g * sky + sunLight.g * sun),
          base.b * (skyLight.b * sky + sunLight.b * sun), base.a};
}

content::Rgba HazeColour() { return {0.78f, 0.56f, 0.46f, 1}; }

}  // namespace klx::scenebuild
