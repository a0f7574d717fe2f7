// The grass effect drawn headless: a blade whose tip has sway weight 1 and
// whose root has weight 0 (y = 1 in the sway set) leans with the wind at
// the tip while the root stays; without shaders it is a still texture. Its
// sway set is clamped and stored.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/memory_stream.h"
#include "render/device_renderer.h"
#include "render/effects/grass_effect.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

class GrassEffects : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(kSize, kSize, "grass");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    camera_ = new Camera(String("cam"));
    SetTranslation(camera_->LocalTransform(), {0, 0, -5});
    renderer_->SetCamera(camera_.Get());
  }
  void TearDown() override {
    camera_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  // A blade 0.4 wide and 3 high; its tip sways (y = 0 in the sway set),
  // its root does not (y = 1). `colored` adds vertex colours of half grey.
  Ref<Triangles> Blade(GrassEffect* effect, bool colored) {
    const Vector3 corners[4] = {{-0.2f, 1.5f, 0}, {0.2f, 1.5f, 0}, {0.2f, -1.5f, 0}, {-0.2f, -1.5f, 0}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vector2 sway[4] = {{0, 0}, {0, 0}, {0, 1}, {0, 1}};
    const Color grey[4] = {{0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}};
    const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
    Ref<Triangles> blade(new Triangles(String("blade")));
    blade->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
    blade->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
    blade->SetTexCoordBuffer(2, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, sway)).Get());
    if (colored) blade->SetColorBuffer(Ref<ColorBuffer>(new ColorBuffer(String(), 4, grey)).Get());
    blade->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
    blade->UpdateModelBound();
    blade->SetEffect(effect);
    blade->UpdateGeometricState(0, false);
    return blade;
  }

  // The middle of the lit pixels of a row (top row first), and the
  // brightest red there.
  std::pair<double, int> RowCentre(const std::vector<uint8_t>& rgba, int row) {
    double sum = 0;
    int count = 0, brightest = 0;
    for (int x = 0; x < kSize; ++x) {
      const int red = rgba[(static_cast<size_t>(row) * kSize + x) * 4];
      brightest = std::max(brightest, red);
      if (red > 40) {
        sum += x;
        ++count;
      }
    }
    return {count > 0 ? sum / count : -1.0, brightest};
  }

  std::vector<uint8_t> Draw(Node* node) {
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    EXPECT_EQ(renderer_->BeginFrame(), kOk);
    node->Draw(renderer_);
    renderer_->EndFrame();
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(0, 0, kSize, kSize, &rgba);
    return rgba;
  }

  static constexpr int kSize = 64;
  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
};

Ref<Texture> White() {
  Ref<Image> image(new Image(String(), kImageRGB8, 1, 1));
  std::fill(image->EditPixels(), image->EditPixels() + 3, 255);
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(image.Get());
  return texture;
}

TEST_F(GrassEffects, TheTipSwaysWithTheWindAndTheRootStays) {
  for (bool colored : {false, true}) {
    Ref<GrassEffect> effect(new GrassEffect(String("grass")));
    effect->SetTexture(White().Get());
    effect->SetSwaySet(2);
    effect->cull = false;
    effect->windAmplitude = 0.6f;
    effect->windSpeed = 1.0f;
    Ref<Triangles> blade = Blade(effect.Get(), colored);
    // At time 0 the tip is nearly upright (sin of a small x); at speed *
    // time = pi/2 it leans by about the amplitude towards +x.
    const std::vector<uint8_t> still = Draw(blade.Get());
    effect->Update(1.5707964);
    const std::vector<uint8_t> leaning = Draw(blade.Get());
    const int tipRow = 14, rootRow = 50;  // top rows first
    const auto [tipBefore, tipRed] = RowCentre(still, tipRow);
    const auto [tipAfter, unused] = RowCentre(leaning, tipRow);
    const auto [rootBefore, unused2] = RowCentre(still, rootRow);
    const auto [rootAfter, unused3] = RowCentre(leaning, rootRow);
    ASSERT_GE(tipBefore, 0) << colored;
    ASSERT_GE(tipAfter, 0) << colored;
    EXPECT_GT(tipAfter - tipBefore, 3.0) << colored;
    EXPECT_NEAR(rootAfter, rootBefore, 0.5) << colored;
    // The vertex colours multiply in.
    EXPECT_NEAR(tipRed, colored ? 128 : 255, 3) << colored;
  }
}

TEST_F(GrassEffects, WithoutShadersTheGrassStandsStill) {
  RendererCaps caps = renderer_->GetCaps();
  caps.vertexShaderLevel = kShaderLevelNone;
  caps.pixelShaderLevel = kShaderLevelNone;
  renderer_->OverrideCaps(caps);
  Ref<GrassEffect> effect(new GrassEffect(String("grass")));
  effect->SetTexture(White().Get());
  effect->SetSwaySet(2);
  effect->cull = false;
  effect->windAmplitude = 0.6f;
  Ref<Triangles> blade = Blade(effect.Get(), false);
  const std::vector<uint8_t> still = Draw(blade.Get());
  effect->Update(1.5707964);
  EXPECT_EQ(Draw(blade.Get()), still);
  EXPECT_GE(RowCentre(still, 14).first, 0);
}

using GrassEffectStore = test::EngineTest;

TEST_F(GrassEffectStore, TheSwaySetIsClampedAndStored) {
  Ref<GrassEffect> effect(new GrassEffect(String("grass")));
  effect->SetSwaySet(9);
  EXPECT_EQ(effect->GetSwaySet(), 7);
  effect->SetSwaySet(-1);
  EXPECT_EQ(effect->GetSwaySet(), 0);
  effect->SetSwaySet(3);
  MemoryStream stream(1024, 1024);
  ASSERT_EQ(stream.WriteObject(effect.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<GrassEffect> copy(DynamicCast<GrassEffect>(loaded));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetSwaySet(), 3);
}

}  // namespace
}  // namespace klx
