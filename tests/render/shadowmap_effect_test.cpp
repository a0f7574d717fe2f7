// Shadow maps drawn headless: a square held above the ground in a slanting
// light darkens the ground by the shadow colour beside it and nowhere else,
// for each fit of the light, the soft and hard tests and each kind of
// receiver; what receives; the fallback; the fit keeping the view inside
// the map; and the stored form.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "animation/skin_controller.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "gl/gl_device.h"
#include "render/device_renderer.h"
#include "render/effects/grass_effect.h"
#include "render/effects/material_effects.h"
#include "render/effects/shadow_fit.h"
#include "render/effects/shadowmap_effect.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"
#include "support/counting_node.h"
#include "support/engine_fixture.h"
#include "support/scene_round_trip.h"
#include "support/image_test_support.h"
#include "support/log_capture.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

enum class Receiver { kPlain, kWind, kGrass, kSkinned };
using Case = std::tuple<bool /*warped*/, bool /*soft*/, Receiver>;

constexpr float kHalfSqrt2 = 0.70710678f;

// Turns a node to look along `forward` (unit) with +y up (or +z when
// looking straight down).
void Face(Node& node, const Vector3& forward) {
  const Vector3 up = std::fabs(forward.y) > 0.99f ? Vector3{0, 0, 1} : Vector3{0, 1, 0};
  const Vector3 right = up.Cross(forward).Normalized();
  SetRotation(node.LocalTransform(), Quaternion::FromRows(right, forward.Cross(right), forward));
}

Ref<Texture> WhiteTexture() {
  Ref<Image> image(new Image(String(), kImageRGB8, 2, 2));
  for (int i = 0; i < 12; ++i) image->EditPixels()[i] = 255;
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(image.Get());
  return texture;
}

// A level square of half-size `half` at height `y`, seen from above
// (clockwise from +y), with texture coordinates on sets 0 and 1 (v = 1:
// grass that stays).
Ref<Triangles> Square(const char* name, float half, float y, GeometryNodeEffect* effect) {
  const Vector3 corners[4] = {{-half, y, half}, {half, y, half}, {half, y, -half}, {-half, y, -half}};
  const Vector2 uv[4] = {{0, 1}, {1, 1}, {1, 1}, {0, 1}};
  const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
  Ref<Triangles> square(new Triangles(String(name)));
  square->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
  square->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
  square->SetTexCoordBuffer(1, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
  square->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
  square->UpdateModelBound();
  square->SetEffect(effect);
  return square;
}

Ref<ColorEffect> Grey(float value) {
  Ref<ColorEffect> effect(new ColorEffect(String("grey")));
  effect->SetColor(Color{value, value, value, 1});
  effect->cull = false;
  return effect;
}

class ShadowScene : public test::EngineTest {
 protected:
  static constexpr int32_t kSize = 64;

  void OpenRenderer() {
    renderer_ = OpenOffscreenRenderer(kSize, kSize, "shadows");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    if (!renderer_->GetCaps().hardwareShadowMaps) GTEST_SKIP() << "no hardware shadow maps here";
    camera_ = new Camera(String("eye"));
    camera_->SetFarPlane(100.0f);
    SetTranslation(camera_->LocalTransform(), {0, 30, 0});
    Face(*camera_, {0, -1, 0});
    camera_->UpdateGeometricState(0.0, true);
    renderer_->SetCamera(camera_.Get());
    sun_ = new Light(String("sun"), Light::kDirectional);
    Face(*sun_, Vector3{kHalfSqrt2, -kHalfSqrt2, 0});
    sun_->UpdateGeometricState(0.0, true);
    root_ = new SceneNode(String("root"));
    land_ = new SceneNode(String("land"));
    ASSERT_EQ(root_->AttachChild(land_.Get()), kOk);
    shadows_ = new ShadowmapEffect(String("shadows"));
    Ref<Texture> map(new Texture(String("map")));
    map->SetImage(Ref<Image>(new Image(String(), kImageDepthTarget, 256, 256)).Get());
    shadows_->SetShadowMap(map.Get());
    shadows_->SetLight(sun_.Get());
    // A square 4 above the ground: its shadow falls 4 towards +x, clear
    // of the square as seen from above.
    caster_ = Square("caster", 1.5f, 4.0f, Grey(1.0f).Get());
    shadows_->AddCaster(caster_.Get());
  }
  void TearDown() override {
    root_ = nullptr;
    land_ = nullptr;
    shadows_ = nullptr;
    caster_ = nullptr;
    sun_ = nullptr;
    camera_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  void Frame() {
    root_->UpdateGeometricState(0.02, false);
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    ASSERT_EQ(renderer_->BeginFrame(), kOk);
    root_->Draw(renderer_);
    renderer_->EndFrame();
  }

  // The red of the ground point (x, 0, z) on the screen: 30 above,
  // looking down with +z up the picture.
  int GroundRed(float x, float z) {
    const float perUnit = kSize * 0.5f / (30.0f * std::tan(camera_->GetFieldOfView() * 0.5f));
    const auto px = static_cast<uint32_t>(kSize * 0.5f + x * perUnit);
    const auto py = static_cast<uint32_t>(kSize * 0.5f - z * perUnit);
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(px, py, 1, 1, &rgba);
    return rgba.empty() ? -1 : rgba[0];
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
  Ref<Light> sun_;
  Ref<SceneNode> root_, land_;
  Ref<ShadowmapEffect> shadows_;
  Ref<Triangles> caster_;
};

class Shadows : public ShadowScene, public ::testing::WithParamInterface<Case> {
 protected:
  void SetUp() override {
    ShadowScene::SetUp();
    OpenRenderer();
    if (IsSkipped()) return;
    const auto [warped, soft, receiver] = GetParam();
    if (!soft) {
      RendererCaps caps = renderer_->GetCaps();
      caps.pixelShaderLevel = 0;
      renderer_->OverrideCaps(caps);
    }
    shadows_->flags = static_cast<uint8_t>((warped ? ShadowmapEffect::kWarp : 0) | ShadowmapEffect::kSoft);
    shadows_->shadowColor = Color{0, 0, 0, 0.5f};
    ground_ = Ground(receiver);
    ASSERT_EQ(land_->AttachChild(ground_.Get()), kOk);
    ASSERT_EQ(land_->AttachChild(caster_.Get()), kOk);
    land_->AddEffect(shadows_.Get());
  }

  // The ground (grey 0.8, 20 across) as the kind of receiver asked for.
  Ref<Triangles> Ground(Receiver kind) {
    switch (kind) {
      case Receiver::kPlain: return Square("ground", 10.0f, 0.0f, Grey(0.8f).Get());
      case Receiver::kWind: {
        Ref<ColorEffect> effect = Grey(0.8f);
        effect->SetWindEnable(true);
        effect->windAmplitude = 0.0f;
        return Square("ground", 10.0f, 0.0f, effect.Get());
      }
      case Receiver::kGrass: {
        Ref<GrassEffect> effect(new GrassEffect(String("grass")));
        effect->SetTexture(WhiteTexture().Get());
        effect->SetColor(Color{0.8f, 0.8f, 0.8f, 1});
        effect->SetSwaySet(1);
        effect->cull = false;
        return Square("ground", 10.0f, 0.0f, effect.Get());
      }
      case Receiver::kSkinned: break;
    }
    // One bone at the origin holding the whole ground.
    Ref<TextureEffect> effect(new TextureEffect(String("skinned")));
    effect->SetTexture(WhiteTexture().Get());
    effect->SetColor(Color{0.8f, 0.8f, 0.8f, 1});
    effect->cull = false;
    Ref<Triangles> ground = Square("ground", 10.0f, 0.0f, effect.Get());
    Ref<SkinController> skin(new SkinController(String("skin")));
    const Vector4 weights[4] = {{1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}};
    const Vector4 indices[4] = {};
    skin->SetVertices(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4,
                                                           static_cast<Vector3Buffer*>(ground->GetVertexBuffer())
                                                               ->Elements())).Get());
    skin->SetWeights(Ref<Vector4Buffer>(new Vector4Buffer(String(), 4, weights)).Get());
    skin->SetIndices(Ref<Vector4Buffer>(new Vector4Buffer(String(), 4, indices)).Get());
    bone_ = new SceneNode(String("bone"));
    skin->AddBone(bone_.Get(), Transform{});
    EXPECT_EQ(ground->AttachController(skin.Get()), kOk);
    EXPECT_EQ(root_->AttachChild(bone_.Get()), kOk);
    effect->SetSkinController(skin.Get());
    skin_ = skin;
    return ground;
  }

  Ref<Triangles> ground_;
  Ref<SceneNode> bone_;
  Ref<SkinController> skin_;
};

TEST_P(Shadows, TheCasterDarkensTheGroundBesideItByTheShadowColourAndNowhereElse) {
  const auto [warped, soft, receiver] = GetParam();
  Frame();
  Frame();
  EXPECT_EQ(shadows_->WasWarped(), warped);
  if (const char* dump = std::getenv("KLX_SHADOW_DUMP")) {
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(0, 0, kSize, kSize, &rgba);
    FILE* f = std::fopen(dump, "wb");
    std::fprintf(f, "P6 %d %d 255\n", kSize, kSize);
    for (size_t i = 0; i < rgba.size(); i += 4) std::fwrite(&rgba[i], 1, 3, f);
    std::fclose(f);
  }
  if (auto* gl = dynamic_cast<d3d::GlDevice*>(renderer_->GetDevice())) {
    EXPECT_EQ(gl->GetLastProgramError(), "");
  }
  if (receiver == Receiver::kSkinned) {
    EXPECT_FALSE(skin_->IsActive()) << "the shader skins the ground";
  }
  // Lit ground: 0.8 of white; in the shadow, half of that.
  EXPECT_NEAR(GroundRed(-5.0f, 0.0f), 204, 4) << "lit, on the far side from the shadow";
  EXPECT_NEAR(GroundRed(4.0f, 0.0f), 102, 6) << "in the shadow, beyond the square";
  EXPECT_NEAR(GroundRed(4.0f, 3.5f), 204, 4) << "beside the shadow";
  EXPECT_NEAR(GroundRed(7.0f, 0.0f), 204, 4) << "past the shadow's end";
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  static const char* const kinds[] = {"Plain", "Wind", "Grass", "Skinned"};
  return std::string(std::get<0>(info.param) ? "Warped" : "Orthographic") +
         (std::get<1>(info.param) ? "Soft" : "Hard") + kinds[static_cast<int>(std::get<2>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(FitsTestsAndReceivers, Shadows,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool(),
                                            ::testing::Values(Receiver::kPlain, Receiver::kWind, Receiver::kGrass,
                                                              Receiver::kSkinned)),
                         CaseName);

using test::CountingNode;

using ShadowReceivers = ShadowScene;

TEST_F(ShadowReceivers, SpritesAndSeeThroughGeometryTakeNoTestAndTheChildrenAreDrawnOnce) {
  OpenRenderer();
  if (IsSkipped()) return;
  Ref<Triangles> ground = Square("ground", 10.0f, 0.0f, Grey(0.8f).Get());
  Ref<SpriteParticleSystem> sparks(new SpriteParticleSystem(String("sparks")));
  Ref<CountingNode> counter(new CountingNode);
  for (Node* node : std::initializer_list<Node*>{ground.Get(), caster_.Get(), sparks.Get(), counter.Get()}) {
    ASSERT_EQ(land_->AttachChild(node), kOk);
  }
  land_->AddEffect(shadows_.Get());
  Frame();
  EXPECT_EQ(counter->draws, 1);
  bool groundListed = false;
  for (int32_t i = 0; i < shadows_->GetReceiverCount(); ++i) {
    EXPECT_NE(shadows_->GetReceiver(i), static_cast<GeometryNode*>(sparks.Get())) << "a sprite system received";
    groundListed = groundListed || shadows_->GetReceiver(i) == ground.Get();
  }
  EXPECT_TRUE(groundListed);
}

TEST_F(ShadowReceivers, WithoutShadersTheFallbackDrawsTheChildrenOncePlainly) {
  OpenRenderer();
  if (IsSkipped()) return;
  RendererCaps caps = renderer_->GetCaps();
  caps.vertexShaderLevel = kShaderLevelNone;
  caps.pixelShaderLevel = kShaderLevelNone;
  renderer_->OverrideCaps(caps);
  Ref<Triangles> ground = Square("ground", 10.0f, 0.0f, Grey(0.8f).Get());
  Ref<CountingNode> counter(new CountingNode);
  for (Node* node : std::initializer_list<Node*>{ground.Get(), caster_.Get(), counter.Get()}) {
    ASSERT_EQ(land_->AttachChild(node), kOk);
  }
  land_->AddEffect(shadows_.Get());
  test::ScopedLogCapture log;
  Frame();
  EXPECT_EQ(counter->draws, 1);
  EXPECT_FALSE(shadows_->HasShadowMap()) << "no map is drawn for the fallback";
  EXPECT_NEAR(GroundRed(4.0f, 0.0f), 204, 4) << "no shadow";
  for (const test::LoggedLine& line : log->lines) EXPECT_NE(line.level, kLogError) << line.text;
}

// The fit keeps everything the camera sees of the region inside the map,
// in both fits, at the depths the map holds.
using ShadowFit = test::EngineTest;

TEST_F(ShadowFit, BothFitsKeepTheVisiblePartOfTheRegionInsideTheMap) {
  Ref<Camera> camera(new Camera(String("eye")));
  SetTranslation(camera->LocalTransform(), {0, 10, -40});
  Face(*camera, Vector3{0, -0.3f, 1}.Normalized());
  camera->SetFarPlane(3000.0f);
  camera->UpdateGeometricState(0.0, true);
  const Vector3 light = Vector3{0.5f, -0.6f, 0.62f}.Normalized();
  const Vector3 center{0, 0, 0};
  const float radius = 60.0f;
  const ShadowRegion region{center, radius, center, radius};
  for (bool warp : {false, true}) {
    const LightFit fit = FitLightToView(light, *camera, 16.0f / 9.0f, region, warp, 0.95f);
    EXPECT_EQ(fit.perspective, warp);
    Vector3 corners[8];
    ViewCorners(*camera, 16.0f / 9.0f, 100.0f, corners);
    const Matrix4 lightViewProjection = fit.view * fit.projection;
    // Points the camera sees inside the region: along the view's edges
    // out to where they leave the region.
    for (int i = 0; i < 4; ++i) {
      for (float t : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
        const Vector3 p = corners[i] + (corners[i + 4] - corners[i]) * t;
        const Vector3 d = p - center;
        if (d.Dot(d) > radius * radius) continue;
        const Vector4 clip = lightViewProjection.Transform(Vector4{p.x, p.y, p.z, 1});
        ASSERT_GT(clip.w, 0.0f) << "warp " << warp;
        EXPECT_LE(std::fabs(clip.x / clip.w), 1.0001f) << "warp " << warp << " corner " << i << " t " << t;
        EXPECT_LE(std::fabs(clip.y / clip.w), 1.0001f) << "warp " << warp << " corner " << i << " t " << t;
        EXPECT_GE(clip.z / clip.w, -0.0001f) << "warp " << warp;
        EXPECT_LE(clip.z / clip.w, 1.0001f) << "warp " << warp;
      }
    }
  }
  // Nearly along the view the warped fit gives way to the box.
  const LightFit along = FitLightToView(camera->GetDirection(), *camera, 1.0f, region, true, 0.95f);
  EXPECT_FALSE(along.perspective);
  // The texture-space matrix: clip (-1, 1) to (0, 0) plus half a texel.
  const Matrix4 t = ShadowTextureMatrix(128, 256);
  const Vector4 topLeft = t.Transform(Vector4{-1, 1, 0.5f, 1});
  EXPECT_FLOAT_EQ(topLeft.x, 0.5f / 128.0f);
  EXPECT_FLOAT_EQ(topLeft.y, 0.5f / 256.0f);
  EXPECT_FLOAT_EQ(topLeft.z, 0.5f);
}

using ShadowStorage = test::EngineTest;

TEST_F(ShadowStorage, TheEffectRoundTripsWithOneMapController) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<SceneNode> land(new SceneNode(String("land")));
  Ref<Light> sun(new Light(String("sun"), Light::kDirectional));
  Ref<Triangles> caster = Square("caster", 1.0f, 2.0f, Grey(1.0f).Get());
  ASSERT_EQ(root->AttachChild(sun.Get()), kOk);
  ASSERT_EQ(root->AttachChild(land.Get()), kOk);
  ASSERT_EQ(land->AttachChild(caster.Get()), kOk);
  Ref<ShadowmapEffect> shadows(new ShadowmapEffect(String("shadows")));
  EXPECT_EQ(shadows->GetControllerCount(), 1);
  EXPECT_EQ(shadows->GetShadowMap()->GetImage()->GetWidth(), 128u);
  EXPECT_EQ(shadows->GetShadowMap()->GetImage()->GetFormat(), kImageDepthTarget);
  const std::string mapName = "Shadowmap " + std::to_string(shadows->GetShadowMap()->GetID());
  EXPECT_EQ(shadows->FindByName(String(mapName.c_str())), shadows->GetShadowMap());
  Array<Object*> textures;
  shadows->CollectByType(Texture::TYPE, textures);
  EXPECT_EQ(textures.Count(), 2) << "the map and its colour target";
  shadows->SetLight(sun.Get());
  shadows->shadowColor = Color{0.1f, 0.2f, 0.3f, 0.4f};
  shadows->flags = ShadowmapEffect::kWarp;
  shadows->depthBias = 250.0f;
  shadows->slopeBias = 2.0f;
  shadows->warpLimit = 0.8f;
  shadows->AddCaster(caster.Get());
  land->AddEffect(shadows.Get());
  Ref<Object> loaded = test::SaveAndLoadScene(root.Get(), "shadows.STR");
  ASSERT_TRUE(loaded);
  auto* landCopy = DynamicCast<SceneNode>(loaded->FindByName(String("land")));
  ASSERT_NE(landCopy, nullptr);
  auto* copy = DynamicCast<ShadowmapEffect>(landCopy->GetEffect(0));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetControllerCount(), 1) << "the stored controller replaces the constructor's";
  EXPECT_NE(DynamicCast<RenderShadowmapEffectController>(copy->GetController(0)), nullptr);
  EXPECT_EQ(copy->GetLight(), loaded->FindByName(String("sun")));
  ASSERT_NE(copy->GetShadowMap(), nullptr);
  EXPECT_EQ(std::string(copy->GetShadowMap()->GetName().CStr()), mapName);
  ASSERT_NE(copy->GetColorTarget(), nullptr);
  EXPECT_FLOAT_EQ(copy->shadowColor.g, 0.2f);
  EXPECT_FLOAT_EQ(copy->shadowColor.a, 0.4f);
  EXPECT_EQ(copy->flags, ShadowmapEffect::kWarp);
  EXPECT_FLOAT_EQ(copy->depthBias, 250.0f);
  EXPECT_FLOAT_EQ(copy->slopeBias, 2.0f);
  EXPECT_FLOAT_EQ(copy->warpLimit, 0.8f);
  ASSERT_EQ(copy->GetCasterCount(), 1);
  EXPECT_EQ(copy->GetCaster(0), loaded->FindByName(String("caster")));
}

}  // namespace
}  // namespace klx
