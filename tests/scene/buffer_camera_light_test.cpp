// Data buffers (construction, the stream form, damaged counts, the device
// handle), cameras (projection, view and frustum planes against values
// worked out by hand) and lights (their stored form).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/memory_stream.h"
#include "render/renderer.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/light.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using test::Text;

template <class T>
Ref<T> RoundTrip(T* object) {
  MemoryStream stream(256, 256);
  EXPECT_EQ(stream.WriteObject(object), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  EXPECT_EQ(stream.ReadObject(loaded), kOk);
  return Ref<T>(DynamicCast<T>(loaded));
}

using Buffers = test::EngineTest;

TEST_F(Buffers, ElementsSizesAndTheStreamForm) {
  const Vector3 points[2] = {{1, 2, 3}, {4, 5, 6}};
  Ref<Vector3Buffer> vectors(new Vector3Buffer(String("v"), 2, points));
  EXPECT_EQ(vectors->GetCount(), 2);
  EXPECT_EQ(vectors->GetDataSize(), 24);
  EXPECT_EQ(vectors->Elements()[1].y, 5.0f);
  Ref<Vector4Buffer> zeroed(new Vector4Buffer(String("z"), 3));
  EXPECT_EQ(zeroed->Elements()[2], (Vector4{0, 0, 0, 0}));
  EXPECT_TRUE(zeroed->IsChanged());

  const int32_t indices[4] = {0, 1, 2, -7};
  Ref<IntBuffer> ints(new IntBuffer(String("i"), 4, indices));
  Ref<IntBuffer> intsCopy = RoundTrip(ints.Get());
  ASSERT_TRUE(intsCopy);
  ASSERT_EQ(intsCopy->GetCount(), 4);
  EXPECT_EQ(std::memcmp(intsCopy->GetData(), indices, sizeof indices), 0);
  EXPECT_STREQ(intsCopy->GetName().CStr(), "i");
  EXPECT_TRUE(intsCopy->IsChanged());
  const Color colors[1] = {{0.1f, 0.2f, 0.3f, 0.4f}};
  Ref<ColorBuffer> colors1(new ColorBuffer(String("c"), 1, colors));
  Ref<ColorBuffer> colorCopy = RoundTrip(colors1.Get());
  ASSERT_TRUE(colorCopy);
  EXPECT_EQ(colorCopy->Elements()[0], colors[0]);
  // An empty buffer stays without an array.
  Ref<FloatBuffer> none(new FloatBuffer(String("e")));
  Ref<FloatBuffer> empty = RoundTrip(none.Get());
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->GetCount(), 0);
  EXPECT_EQ(empty->GetData(), nullptr);
  // The stored form: object part, count, raw bytes.
  MemoryStream stream(64, 64);
  Ref<Vector2Buffer> two(new Vector2Buffer(String(""), 1));
  two->Elements()[0] = {1.5f, -2.0f};
  ASSERT_EQ(two->Save(stream), kOk);
  const int32_t end = stream.GetPosition();
  int32_t count = 0;
  std::memcpy(&count, stream.GetBuffer() + end - 12, 4);
  EXPECT_EQ(count, 1);
  float x = 0;
  std::memcpy(&x, stream.GetBuffer() + end - 8, 4);
  EXPECT_EQ(x, 1.5f);
}

TEST_F(Buffers, ADamagedCountIsRefusedWithoutAHugeAllocation) {
  Ref<FloatBuffer> buffer(new FloatBuffer(String("f"), 2));
  MemoryStream stream(64, 64);
  ASSERT_EQ(buffer->Save(stream), kOk);
  // Overwrite the count with one the stream cannot hold.
  const int32_t end = stream.GetPosition();
  stream.SetPosition(end - 12);
  stream.WriteInt32(0x7FFFFFF0);
  stream.SetPosition(0);
  Ref<FloatBuffer> loaded(new FloatBuffer(String()));
  EXPECT_EQ(loaded->Load(stream), kFailed);
  EXPECT_EQ(loaded->GetCount(), 0);
  EXPECT_TRUE(log_->Has(kLogError, Text("Невозможно загрузить данные буффера. ID[%d] Имя[%s]", loaded->GetID(), "f")));
  // A negative count too.
  stream.SetPosition(end - 12);
  stream.WriteInt32(-5);
  stream.SetPosition(0);
  EXPECT_EQ(loaded->Load(stream), kFailed);
}

// A renderer that notes which buffers it was asked to release.
class ReleaseCountingRenderer : public Renderer {
 public:
  int CreateDevice(int32_t, const String&, uint64_t, int32_t, int32_t, int32_t, int32_t) override { return 0; }
  int ReleaseDevice() override { return 0; }
  void Clear(uint32_t, const Color&, float, uint32_t) override {}
  int BeginScene() override { return 0; }
  void EndScene() override {}
  void SetGamma(int32_t) override {}
  void ReleaseBuffer(Buffer* buffer) override {
    ++released;
    Renderer::ReleaseBuffer(buffer);
  }
  int released = 0;
};

TEST_F(Buffers, ADestroyedBufferAsksItsRendererToDropTheCopy) {
  Ref<ReleaseCountingRenderer> renderer(new ReleaseCountingRenderer());
  {
    Ref<FloatBuffer> buffer(new FloatBuffer(String("f"), 4));
    buffer->Handle().owner = renderer.Get();
    buffer->Handle().handle = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(renderer->GetRefCount(), 2);
  }
  EXPECT_EQ(renderer->released, 1);
  EXPECT_EQ(renderer->GetRefCount(), 1);  // the handle's reference went too
}

// -- cameras -------------------------------------------------------------------

Vector3 Project(const Camera& camera, const Vector3& point) {
  const Vector4 p = camera.GetViewProjection().Transform(Vector4{point.x, point.y, point.z, 1});
  return {p.x / p.w, p.y / p.w, p.z / p.w};
}

float PlaneSide(const Vector4& plane, const Vector3& point) {
  return plane.x * point.x + plane.y * point.y + plane.z * point.z - plane.w;
}

using Cameras = test::EngineTest;

TEST_F(Cameras, TheLensAsWorkedOutByHand) {
  Ref<Camera> camera(new Camera(String("cam")));
  camera->SetFieldOfView(1.5707964f);
  camera->SetNearPlane(1.0f);
  camera->SetFarPlane(100.0f);
  camera->UpdateMatrices();
  const Matrix4& p = camera->GetProjection();
  EXPECT_FLOAT_EQ(p.m[1][1], 1.0f);
  // Horizontally the lens follows the picture's shape: 4:3 until told.
  EXPECT_FLOAT_EQ(p.m[0][0], 0.75f);
  EXPECT_FLOAT_EQ(p.m[2][2], 100.0f / 99.0f);
  EXPECT_FLOAT_EQ(p.m[3][2], -100.0f / 99.0f);
  EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
  EXPECT_FLOAT_EQ(p.m[3][3], 1.0f);  // w is the view depth + 1
  // A point straight ahead lands in the centre; depth 0 at the near plane,
  // far / (far + 1) at the far plane.
  const Vector3 ahead = Project(*camera, {0, 0, 5});
  EXPECT_NEAR(ahead.x, 0.0f, 1e-6f);
  EXPECT_NEAR(ahead.y, 0.0f, 1e-6f);
  EXPECT_NEAR(Project(*camera, {0, 0, 1}).z, 0.0f, 1e-6f);
  EXPECT_NEAR(Project(*camera, {0, 0, 100}).z, 100.0f / 101.0f, 1e-5f);

  // On a 16:9 picture a point 45 degrees up and one 45 degrees right of
  // the axis land at the same distance from the centre in pixels.
  camera->SetAspect(16.0f / 9.0f);
  EXPECT_FLOAT_EQ(camera->GetProjection().m[0][0], 9.0f / 16.0f);
  const Vector3 up = Project(*camera, {0, 5, 5}), right = Project(*camera, {5, 0, 5});
  EXPECT_NEAR(right.x * 1280.0f / 2.0f, up.y * 720.0f / 2.0f, 1e-3f);
  // Shapes that are no picture leave the lens alone.
  for (float bad : {0.0f, -1.0f, std::nanf(""), INFINITY}) {
    camera->SetAspect(bad);
    EXPECT_FLOAT_EQ(camera->GetProjection().m[0][0], 9.0f / 16.0f);
  }
}

TEST_F(Cameras, ViewFromAPlacedAndTurnedCamera) {
  Ref<Camera> camera(new Camera(String("cam")));
  // At (10, 2, 0), turned 90 degrees about y: it looks along world -x.
  SetTranslation(camera->LocalTransform(), {10, 2, 0});
  SetRotation(camera->LocalTransform(), Quaternion::FromAxisAngle({0, 1, 0}, -1.5707964f));
  camera->Update(0);
  EXPECT_NEAR(camera->GetDirection().x, -1.0f, 1e-6f);
  EXPECT_NEAR(camera->GetRight().z, 1.0f, 1e-6f);
  EXPECT_NEAR(camera->GetUp().y, 1.0f, 1e-6f);
  // A point 5 ahead of the camera is at view (0, 0, 5); one above it at
  // view y = 1.
  const Vector3 inView = camera->GetView().TransformPoint({5, 2, 0});
  EXPECT_NEAR(inView.x, 0.0f, 1e-5f);
  EXPECT_NEAR(inView.y, 0.0f, 1e-5f);
  EXPECT_NEAR(inView.z, 5.0f, 1e-5f);
  EXPECT_NEAR(camera->GetView().TransformPoint({5, 3, 0}).y, 1.0f, 1e-5f);
  // Scale does not enter the view.
  SetScale(camera->LocalTransform(), {3, 3, 3});
  camera->Update(0);
  EXPECT_NEAR(camera->GetView().TransformPoint({5, 2, 0}).z, 5.0f, 1e-5f);
}

TEST_F(Cameras, FrustumPlanesHoldWhatIsInsideAndCullWhatIsNot) {
  Ref<Camera> camera(new Camera(String("cam")));
  camera->SetNearPlane(1.0f);
  camera->SetFarPlane(100.0f);
  camera->Update(0);
  const Vector3 inside{0, 0, 5};
  for (int plane = 0; plane < Camera::kPlaneCount; ++plane) {
    EXPECT_GT(PlaneSide(camera->GetFrustumPlane(plane), inside), 0.0f) << plane;
  }
  EXPECT_LT(PlaneSide(camera->GetFrustumPlane(Camera::kNear), {0, 0, 0.5f}), 0.0f);
  EXPECT_LT(PlaneSide(camera->GetFrustumPlane(Camera::kFar), {0, 0, 200}), 0.0f);
  EXPECT_LT(PlaneSide(camera->GetFrustumPlane(Camera::kRight), {50, 0, 5}), 0.0f);
  EXPECT_LT(PlaneSide(camera->GetFrustumPlane(Camera::kLeft), {-50, 0, 5}), 0.0f);
  EXPECT_LT(PlaneSide(camera->GetFrustumPlane(Camera::kTop), {0, 50, 5}), 0.0f);
  EXPECT_LT(PlaneSide(camera->GetFrustumPlane(Camera::kBottom), {0, -50, 5}), 0.0f);
  // Culling through the mask: a sphere well inside leaves the mask empty,
  // one behind the camera is culled.
  Ref<SphereBoundingVolume> sphere(new SphereBoundingVolume());
  const Vector3 points[2] = {{-0.5f, 0, 10}, {0.5f, 0, 10}};
  sphere->GenerateFromVertices(points, 2);
  camera->SetPlaneMask(0xFFFFFFFFu);
  EXPECT_FALSE(camera->IsCulled(*sphere));
  EXPECT_EQ(camera->GetPlaneMask() & CullingFrustum::kAllPlanes, 0u);
  const Vector3 behind[2] = {{-0.5f, 0, -10}, {0.5f, 0, -10}};
  sphere->GenerateFromVertices(behind, 2);
  camera->SetPlaneMask(0xFFFFFFFFu);
  EXPECT_TRUE(camera->IsCulled(*sphere));
}

TEST_F(Cameras, CamerasAndLightsRoundTripThroughTheStream) {
  Ref<FPCamera> camera(new FPCamera(String("Camera03")));
  camera->SetFieldOfView(0.5f);
  camera->SetNearPlane(2.0f);
  camera->SetFarPlane(500.0f);
  camera->second = 7.0f;
  camera->flag = true;
  Ref<FPCamera> cameraCopy = RoundTrip(camera.Get());
  ASSERT_TRUE(cameraCopy);
  EXPECT_EQ(cameraCopy->GetFieldOfView(), 0.5f);
  EXPECT_EQ(cameraCopy->GetNearPlane(), 2.0f);
  EXPECT_EQ(cameraCopy->GetFarPlane(), 500.0f);
  EXPECT_EQ(cameraCopy->second, 7.0f);
  EXPECT_TRUE(cameraCopy->flag);
  camera->UpdateMatrices();  // the setters leave the matrices to the next update
  EXPECT_EQ(cameraCopy->GetProjection(), camera->GetProjection());

  Ref<Light> light(new Light(String("sun"), Light::kSpot));
  light->diffuse = {1, 0.5f, 0.25f, 1};
  light->useAttenuation = true;
  light->attenuationQuadratic = 0.01f;
  light->spotAngle = 0.5f;
  Ref<Light> lightCopy = RoundTrip(light.Get());
  ASSERT_TRUE(lightCopy);
  EXPECT_EQ(lightCopy->lightType, Light::kSpot);
  EXPECT_EQ(lightCopy->diffuse, light->diffuse);
  EXPECT_TRUE(lightCopy->useAttenuation);
  EXPECT_EQ(lightCopy->attenuationQuadratic, 0.01f);
  EXPECT_EQ(lightCopy->spotAngle, 0.5f);
  // The registry makes a type-0 light and a default camera.
  Object* made = nullptr;
  ASSERT_EQ(CreateObjectByName(String("KLX.Light"), &made), kOk);
  Ref<Object> keep(made);
  EXPECT_EQ(DynamicCast<Light>(made)->lightType, Light::kFixedDirectional);
  // A truncated light is refused with its message.
  MemoryStream stream(256, 256);
  ASSERT_EQ(light->Save(stream), kOk);
  MemoryStream truncated(stream.GetPosition() - 4, 16);
  truncated.Write(stream.GetBuffer(), stream.GetPosition() - 4);
  truncated.SetPosition(0);
  Ref<Light> broken(new Light(String()));
  EXPECT_EQ(broken->Load(truncated), kFailed);
}

}  // namespace
}  // namespace klx
