// The light-mapped texture effect drawn headless under each technique it
// can fall to (its shader one, its fixed-function one, and the plain
// texture when the machine has one texture stage), its coordinate sets,
// and its stored form; the normal-map effect's stored form and update.

#include <gtest/gtest.h>

#include <vector>

#include "core/memory_stream.h"
#include "render/device_renderer.h"
#include "render/effects/second_map_effects.h"
#include "render/effects/texture_controllers.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

enum class Level { kShader, kFixedFunction, kOneStage };

Ref<Texture> SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
  Ref<Image> image(new Image(String(), kImageRGB8, 2, 2));
  for (int i = 0; i < 4; ++i) {
    image->EditPixels()[i * 3] = r;
    image->EditPixels()[i * 3 + 1] = g;
    image->EditPixels()[i * 3 + 2] = b;
  }
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(image.Get());
  return texture;
}

class LightmapEffect : public test::EngineTest, public ::testing::WithParamInterface<Level> {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(32, 32, "lightmap");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    RendererCaps caps = renderer_->GetCaps();
    if (GetParam() != Level::kShader) {
      caps.vertexShaderLevel = kShaderLevelNone;
      caps.pixelShaderLevel = kShaderLevelNone;
    }
    if (GetParam() == Level::kOneStage) caps.simultaneousTextures = 1;
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

  // A quad filling the middle of the view with two coordinate sets (0 and
  // 3) over the whole of each texture.
  Ref<Triangles> Quad(GeometryNodeEffect* effect) {
    const Vector3 corners[4] = {{-2, 2, 0}, {2, 2, 0}, {2, -2, 0}, {-2, -2, 0}};
    const Vector2 uv[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
    Ref<Triangles> quad(new Triangles(String("quad")));
    quad->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
    quad->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
    quad->SetTexCoordBuffer(3, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
    quad->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
    quad->UpdateModelBound();
    quad->SetEffect(effect);
    quad->UpdateGeometricState(0, false);
    return quad;
  }

  std::vector<int> CentrePixel(Node* node) {
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    EXPECT_EQ(renderer_->BeginFrame(), kOk);
    node->Draw(renderer_);
    renderer_->EndFrame();
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(16, 16, 1, 1, &rgba);
    return {rgba[0], rgba[1], rgba[2]};
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
};

TEST_P(LightmapEffect, TheTextureIsMultipliedByTheLightMapAndTheColour) {
  Ref<LightmapTextureEffect> effect(new LightmapTextureEffect(String("ground")));
  effect->SetTexture(SolidTexture(200, 100, 50).Get());
  effect->SetLightmap(SolidTexture(128, 255, 64).Get());
  effect->SetSecondTexCoordSet(3);
  effect->SetColor(Color{1, 0.5f, 1, 1});
  effect->cull = false;
  Ref<Triangles> quad = Quad(effect.Get());
  const std::vector<int> pixel = CentrePixel(quad.Get());
  // colour x texture x light map: (200 x 128/255, 100 x 0.5, 50 x 64/255);
  // with one stage, the texture technique: colour x texture.
  const std::vector<int> expected =
      GetParam() == Level::kOneStage ? std::vector<int>{200, 50, 50} : std::vector<int>{100, 50, 13};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(pixel[i], expected[i], 2) << "channel " << i;
}

INSTANTIATE_TEST_SUITE_P(Techniques, LightmapEffect,
                         ::testing::Values(Level::kShader, Level::kFixedFunction, Level::kOneStage),
                         [](const ::testing::TestParamInfo<Level>& info) {
                           return info.param == Level::kShader          ? std::string("Shader")
                                  : info.param == Level::kFixedFunction ? std::string("FixedFunction")
                                                                        : std::string("OneStage");
                         });

using SecondMapEffects = test::EngineTest;

TEST_F(SecondMapEffects, CoordinateSetsAreClampedAndEverythingIsStored) {
  Ref<LightmapTextureEffect> effect(new LightmapTextureEffect(String("ground")));
  effect->SetSecondTexCoordSet(9);
  EXPECT_EQ(effect->GetSecondTexCoordSet(), 7);
  effect->SetSecondTexCoordSet(-1);
  EXPECT_EQ(effect->GetSecondTexCoordSet(), 0);
  effect->SetTexCoordSet(9);
  EXPECT_EQ(effect->GetTexCoordSet(), 7);
  effect->SetSecondTexCoordSet(2);
  Ref<Texture> ground = SolidTexture(1, 2, 3);
  ground->SetName(String("ground texture"));
  Ref<Texture> light = SolidTexture(4, 5, 6);
  light->SetName(String("ground light"));
  effect->SetTexture(ground.Get());
  effect->SetLightmap(light.Get());
  // Found by name and collected with the textures, for the texture cache.
  EXPECT_EQ(effect->FindByName(String("ground light")), light.Get());
  Array<Object*> textures(4, 4);
  effect->CollectByType(Texture::TYPE, textures);
  EXPECT_EQ(textures.Count(), 2);

  Ref<NormalmapTextureEffect> water(new NormalmapTextureEffect(String("water")));
  water->SetNormalmap(light.Get());
  water->SetSecondTexCoordSet(1);

  MemoryStream stream(4096, 4096);
  ASSERT_EQ(stream.WriteObject(effect.Get()), kOk);
  ASSERT_EQ(stream.WriteObject(water.Get()), kOk);
  stream.SetPosition(0);
  Object* first = nullptr;
  Object* second = nullptr;
  ASSERT_EQ(stream.ReadObject(first), kOk);
  ASSERT_EQ(stream.ReadObject(second), kOk);
  Ref<LightmapTextureEffect> effectCopy(DynamicCast<LightmapTextureEffect>(first));
  Ref<NormalmapTextureEffect> waterCopy(DynamicCast<NormalmapTextureEffect>(second));
  ASSERT_TRUE(effectCopy);
  ASSERT_TRUE(waterCopy);
  EXPECT_EQ(effectCopy->GetTexCoordSet(), 7);
  EXPECT_EQ(effectCopy->GetSecondTexCoordSet(), 2);
  ASSERT_NE(effectCopy->GetLightmap(), nullptr);
  EXPECT_EQ(effectCopy->GetLightmap()->GetName(), "ground light");
  EXPECT_EQ(waterCopy->GetSecondTexCoordSet(), 1);
  ASSERT_NE(waterCopy->GetNormalmap(), nullptr);
  // The normal map is one object with the light map it was saved as.
  EXPECT_EQ(waterCopy->GetNormalmap(), effectCopy->GetLightmap());
}

TEST_F(SecondMapEffects, TheNormalMapsControllerRunsFromTheEffectsUpdate) {
  Ref<Image> heights(new Image(String(), kImageA8, 4, 4));
  Ref<Texture> bumps(new Texture(String("bumps")));
  bumps->SetImage(heights.Get());
  Ref<NormalmapTextureController> controller(new NormalmapTextureController(String()));
  ASSERT_EQ(bumps->AttachController(controller.Get()), kOk);
  Ref<NormalmapTextureEffect> water(new NormalmapTextureEffect(String("water")));
  water->SetNormalmap(bumps.Get());
  water->Update(0.02);
  EXPECT_TRUE(controller->IsDone());
  EXPECT_EQ(heights->GetFormat(), kImageRGB8);
}

}  // namespace
}  // namespace klx
