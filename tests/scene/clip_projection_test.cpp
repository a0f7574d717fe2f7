// The oblique near plane and the mirrored view: what they keep, what they
// clip, and how a mirrored camera culls.

#include <gtest/gtest.h>

#include "scene/bounding_volume.h"
#include "scene/camera.h"
#include "scene/clip_projection.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using ClipProjection = test::EngineTest;

// Clip depth over w of a world point seen through view and projection.
float Depth(const Matrix4& viewProjection, const Vector3& p) {
  const Vector4 clip = viewProjection.Transform(Vector4{p.x, p.y, p.z, 1});
  return clip.z / clip.w;
}

Ref<Camera> LevelCamera(float height) {
  Ref<Camera> camera(new Camera(String("eye")));
  SetTranslation(camera->LocalTransform(), {0, height, 0});
  camera->UpdateGeometricState(0.0, true);
  return camera;
}

TEST_F(ClipProjection, TheObliqueNearPlaneClipsTheFarSideOfTheWater) {
  Ref<Camera> held = LevelCamera(3.0f);
  Camera& camera = *held;
  // Keep what lies below y = 0.8.
  const Vector4 below{0, -1, 0, 0.8f};
  Matrix4 oblique;
  ASSERT_TRUE(WithObliqueNearPlane(camera.GetProjection(), PlaneToView(camera.GetView(), below), &oblique));
  const Matrix4 vp = camera.GetView() * oblique;
  // On the plane, depth 0; kept points between 0 and 1; points above the
  // plane in front of the eye have negative depth and are clipped.
  EXPECT_NEAR(Depth(vp, {0, 0.8f, 20}), 0.0f, 1e-4f);
  EXPECT_GT(Depth(vp, {0, -2.0f, 20}), 0.0f);
  EXPECT_LT(Depth(vp, {0, -2.0f, 20}), 1.0f);
  EXPECT_LT(Depth(vp, {0, 2.0f, 20}), 0.0f);
  // Screen positions do not change: only depth is bent.
  const Vector4 straight = camera.GetViewProjection().Transform(Vector4{1, -2, 20, 1});
  const Vector4 bent = vp.Transform(Vector4{1, -2, 20, 1});
  EXPECT_NEAR(bent.x / bent.w, straight.x / straight.w, 1e-5f);
  EXPECT_NEAR(bent.y / bent.w, straight.y / straight.w, 1e-5f);
}

TEST_F(ClipProjection, AnEyeOnTheKeptSideGetsNoObliquePlane) {
  Ref<Camera> held = LevelCamera(0.5f);
  Camera& camera = *held;
  const Vector4 below{0, -1, 0, 0.8f};
  Matrix4 unchanged = Matrix4::Identity();
  EXPECT_FALSE(WithObliqueNearPlane(camera.GetProjection(), PlaneToView(camera.GetView(), below), &unchanged));
  EXPECT_TRUE(unchanged == Matrix4::Identity());
}

TEST_F(ClipProjection, AMirroredCameraSeesTheWorldAboveUpsideDownAndCullsRight) {
  Ref<Camera> held = LevelCamera(1.0f);
  Camera& camera = *held;
  const Matrix4 mirrored = MirrorAboutHeight(0.0f) * camera.GetView();
  // A point 5 above the water appears where its image 5 below would.
  const Vector3 above{0, 5, 20}, image{0, -5, 20};
  const Vector4 a = (mirrored * camera.GetProjection()).Transform(Vector4{above.x, above.y, above.z, 1});
  const Vector4 b = camera.GetViewProjection().Transform(Vector4{image.x, image.y, image.z, 1});
  EXPECT_NEAR(a.y / a.w, b.y / b.w, 1e-5f);
  camera.SetMatrices(mirrored, camera.GetProjection());
  // The mirrored view's planes still face in: what it sees is kept, what
  // lies behind it is culled.
  Ref<SphereBoundingVolume> ahead(new SphereBoundingVolume), behind(new SphereBoundingVolume);
  ahead->Set(above, 1.0f);
  behind->Set({0, 5, -20}, 1.0f);
  camera.SetPlaneMask(0xFFFFFFFFu);
  EXPECT_FALSE(camera.IsCulled(*ahead));
  camera.SetPlaneMask(0xFFFFFFFFu);
  EXPECT_TRUE(camera.IsCulled(*behind));
  camera.ReleaseMatrices();
  camera.SetPlaneMask(0xFFFFFFFFu);
  EXPECT_FALSE(camera.IsCulled(*ahead));
}

}  // namespace
}  // namespace klx
