// The lit texture effect drawn headless under each of its techniques (per
// pixel in ps 2.0, per vertex in vs 1.1 / ps 1.1, the fixed-function
// lights) and its fallback to the plain texture: the centre of a quad
// facing the camera against ambient + diffuse * max(N.L, 0) + specular *
// (N.H)^power. Its light is stored, found and collected.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/memory_stream.h"
#include "render/device_renderer.h"
#include "render/effects/lit_effect.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

enum class Level { kPerPixel, kPerVertex, kFixedFunction, kNoLights };

class LitEffect : public test::EngineTest, public ::testing::WithParamInterface<Level> {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(32, 32, "lit");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    RendererCaps caps = renderer_->GetCaps();
    if (GetParam() == Level::kPerPixel && (caps.vertexShaderLevel < 1 || caps.pixelShaderLevel < 1)) {
      GTEST_SKIP() << "no shader level 2.0 here";
    }
    if (GetParam() == Level::kPerVertex) caps.vertexShaderLevel = caps.pixelShaderLevel = 0;
    if (GetParam() == Level::kFixedFunction || GetParam() == Level::kNoLights) {
      caps.vertexShaderLevel = caps.pixelShaderLevel = kShaderLevelNone;
    }
    if (GetParam() == Level::kNoLights) caps.maxActiveLights = 0;
    renderer_->OverrideCaps(caps);
    camera_ = new Camera(String("cam"));
    SetTranslation(camera_->LocalTransform(), {0, 0, -5});
    renderer_->SetCamera(camera_.Get());
  }
  void TearDown() override {
    camera_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  // A white quad at the origin facing the camera, normals towards it.
  Ref<Triangles> Quad(GeometryNodeEffect* effect) {
    const Vector3 corners[4] = {{-2, 2, 0}, {2, 2, 0}, {2, -2, 0}, {-2, -2, 0}};
    const Vector3 normals[4] = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
    Ref<Triangles> quad(new Triangles(String("quad")));
    quad->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
    quad->SetNormalBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, normals)).Get());
    quad->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
    quad->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
    quad->UpdateModelBound();
    quad->SetEffect(effect);
    quad->UpdateGeometricState(0, false);
    return quad;
  }

  int CentreRed(Node* node) {
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    EXPECT_EQ(renderer_->BeginFrame(), kOk);
    node->Draw(renderer_);
    renderer_->EndFrame();
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(16, 16, 1, 1, &rgba);
    return rgba[0];
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
};

Ref<Texture> White() {
  Ref<Image> image(new Image(String(), kImageRGB8, 2, 2));
  std::fill(image->EditPixels(), image->EditPixels() + 12, 255);
  Ref<Texture> texture(new Texture(String("white")));
  texture->SetImage(image.Get());
  return texture;
}

TEST_P(LitEffect, AmbientDiffuseAndSpecularAsTheFormulaGives) {
  Ref<Light> light(new Light(String("sun"), Light::kDirectional));
  light->ambient = light->diffuse = light->specular = Color{1, 1, 1, 1};
  Ref<Texture1DLEffect> effect(new Texture1DLEffect(String("lit")));
  effect->SetTexture(White().Get());
  effect->SetLight(light.Get());
  effect->ambient = Color{0.1f, 0.1f, 0.1f, 1};
  effect->diffuse = Color{0.4f, 0.4f, 0.4f, 1};
  effect->specular = Color{0.3f, 0.3f, 0.3f, 1};
  effect->specularPower = 1.0f;
  effect->cull = false;
  Ref<Triangles> quad = Quad(effect.Get());
  // The light shines along +z, straight at the quad: N.L = 1 and, at the
  // centre, N.H = 1: 0.1 + 0.4 + 0.3.
  light->UpdateGeometricState(0, false);
  const int head = CentreRed(quad.Get());
  // Turned 60 degrees about y: N.L = 0.5 and N.H = cos 30 at the centre:
  // 0.1 + 0.2 + 0.3 x 0.866.
  SetRotation(light->LocalTransform(), Quaternion{0, std::sin(0.5235988f), 0, std::cos(0.5235988f)});
  light->UpdateGeometricState(0, false);
  const int slanted = CentreRed(quad.Get());
  if (GetParam() == Level::kNoLights) {
    // The plain texture times the effect's colour (white).
    EXPECT_NEAR(head, 255, 2);
    EXPECT_NEAR(slanted, 255, 2);
    return;
  }
  if (GetParam() == Level::kFixedFunction) {
    // Without shaders the render states drop the material's specular:
    // 0.1 + 0.4 and 0.1 + 0.2.
    EXPECT_NEAR(head, 128, 4);
    EXPECT_NEAR(slanted, 77, 4);
    return;
  }
  EXPECT_NEAR(head, 204, 6);
  EXPECT_NEAR(slanted, 143, 10);
}

// With the wind on, the effect is lit per vertex by the wind text: with a
// still wind the same light as without it.
TEST_P(LitEffect, TheWindTextLightsTheSame) {
  if (GetParam() != Level::kPerPixel && GetParam() != Level::kPerVertex) GTEST_SKIP() << "shaders only";
  Ref<Light> light(new Light(String("sun"), Light::kDirectional));
  light->ambient = light->diffuse = light->specular = Color{1, 1, 1, 1};
  light->UpdateGeometricState(0, false);
  Ref<Texture1DLEffect> effect(new Texture1DLEffect(String("lit")));
  effect->SetTexture(White().Get());
  effect->SetLight(light.Get());
  effect->ambient = Color{0.1f, 0.1f, 0.1f, 1};
  effect->diffuse = Color{0.4f, 0.4f, 0.4f, 1};
  effect->specular = Color{0.3f, 0.3f, 0.3f, 1};
  effect->cull = false;
  effect->SetWindEnable(true);
  effect->windAmplitude = 0.0f;
  Ref<Triangles> quad = Quad(effect.Get());
  EXPECT_NEAR(CentreRed(quad.Get()), 204, 6);
}

INSTANTIATE_TEST_SUITE_P(Techniques, LitEffect,
                         ::testing::Values(Level::kPerPixel, Level::kPerVertex, Level::kFixedFunction,
                                           Level::kNoLights),
                         [](const ::testing::TestParamInfo<Level>& info) {
                           switch (info.param) {
                             case Level::kPerPixel: return std::string("PerPixel");
                             case Level::kPerVertex: return std::string("PerVertex");
                             case Level::kFixedFunction: return std::string("FixedFunction");
                             default: return std::string("NoLights");
                           }
                         });

using LitEffectStore = test::EngineTest;

TEST_F(LitEffectStore, TheLightIsStoredFoundAndCollected) {
  Ref<Light> light(new Light(String("sun"), Light::kDirectional));
  light->diffuse = Color{1, 0.5f, 0.25f, 1};
  Ref<Texture1DLEffect> effect(new Texture1DLEffect(String("lit")));
  effect->SetLight(light.Get());
  EXPECT_EQ(effect->FindByName(String("sun")), light.Get());
  Array<Object*> lights(2, 2);
  effect->CollectByType(Light::TYPE, lights);
  EXPECT_EQ(lights.Count(), 1);
  MemoryStream stream(2048, 2048);
  ASSERT_EQ(stream.WriteObject(effect.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<Texture1DLEffect> copy(DynamicCast<Texture1DLEffect>(loaded));
  ASSERT_TRUE(copy);
  ASSERT_NE(copy->GetLight(), nullptr);
  EXPECT_EQ(copy->GetLight()->GetName(), "sun");
  EXPECT_FLOAT_EQ(copy->GetLight()->diffuse.g, 0.5f);
}

}  // namespace
}  // namespace klx
