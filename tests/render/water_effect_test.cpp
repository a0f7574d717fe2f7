// The water drawn headless: what its two screen-space maps hold (the world
// above the surface mirrored, the world below it straight), the colour it
// mixes from known maps, its fallback on a machine without pixel shader 2.0,
// and its stored form with the maps' controllers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "render/device_renderer.h"
#include "render/effects/material_effects.h"
#include "render/effects/screenspace_texture_controllers.h"
#include "render/effects/texture_controllers.h"
#include "render/effects/water_effect.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "support/scene_round_trip.h"
#include "support/image_test_support.h"
#include "support/log_capture.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

using WaterEffect = ReflectiveRefractiveQuietFlatWaterEffect;

struct Rgb {
  int r = 0, g = 0, b = 0;
};

Ref<Texture> SolidTexture(uint8_t r, uint8_t g, uint8_t b, uint32_t width = 2, uint32_t height = 2) {
  Ref<Image> image(new Image(String(), kImageRGB8, width, height));
  for (uint32_t i = 0; i < width * height; ++i) {
    image->EditPixels()[i * 3] = r;
    image->EditPixels()[i * 3 + 1] = g;
    image->EditPixels()[i * 3 + 2] = b;
  }
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(image.Get());
  return texture;
}

// A quad facing -z (towards a camera looking along +z), wound clockwise as
// seen from there, so back-face culling keeps it only from the front.
Ref<Triangles> Panel(const char* name, const Color& color, float x0, float x1, float y0, float y1, float z) {
  const Vector3 corners[4] = {{x0, y1, z}, {x1, y1, z}, {x1, y0, z}, {x0, y0, z}};
  const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
  Ref<Triangles> panel(new Triangles(String(name)));
  panel->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
  panel->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
  panel->UpdateModelBound();
  Ref<ColorEffect> effect(new ColorEffect(String(name)));
  effect->SetColor(color);
  panel->SetEffect(effect.Get());
  return panel;
}

// A level water surface at height 0 over x, z in [-size, size], with
// normals and the normal map's coordinates on set 0.
Ref<Triangles> Surface(WaterEffect* effect, float size) {
  const Vector3 corners[4] = {{-size, 0, -size}, {-size, 0, size}, {size, 0, size}, {size, 0, -size}};
  const Vector3 normals[4] = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
  const Vector2 uv[4] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
  const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
  Ref<Triangles> water(new Triangles(String("water")));
  water->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
  water->SetNormalBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, normals)).Get());
  water->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 4, uv)).Get());
  water->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
  water->UpdateModelBound();
  water->SetEffect(effect);
  return water;
}

ScreenspaceTextureController* MapController(Texture* map) {
  return map != nullptr ? dynamic_cast<ScreenspaceTextureController*>(map->GetController(0)) : nullptr;
}

class Water : public test::EngineTest {
 protected:
  static constexpr int32_t kWidth = 64;
  static constexpr int32_t kHeight = 32;

  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(kWidth, kHeight, "water");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    const RendererCaps& caps = renderer_->GetCaps();
    if (caps.pixelShaderLevel != 1 && caps.pixelShaderLevel != 2) GTEST_SKIP() << "no pixel shader 2.0 here";
    camera_ = new Camera(String("eye"));
    renderer_->SetCamera(camera_.Get());
    root_ = new SceneNode(String("root"));
  }
  void TearDown() override {
    root_ = nullptr;
    camera_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  // Puts the eye at `at`, looking along `forward` (unit) with +y up.
  void Look(const Vector3& at, const Vector3& forward) {
    const Vector3 right = Vector3{0, 1, 0}.Cross(forward).Normalized();
    SetRotation(camera_->LocalTransform(), Quaternion::FromRows(right, forward.Cross(right), forward));
    SetTranslation(camera_->LocalTransform(), at);
    camera_->UpdateGeometricState(0.0, true);
  }

  // One frame: the scene's update (the maps' controllers register), the
  // maps drawn in BeginFrame, then the scene.
  void Frame() {
    root_->UpdateGeometricState(0.05, false);
    camera_->UpdateGeometricState(0.0, true);
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    ASSERT_EQ(renderer_->BeginFrame(), kOk);
    root_->Draw(renderer_);
    renderer_->EndFrame();
  }

  // Every pixel of a texture drawn into (row 0 at the top).
  std::vector<uint8_t> ReadMap(Texture* map) {
    std::vector<uint8_t> rgba;
    EXPECT_EQ(renderer_->BeginRenderToTexture(map), kOk);
    renderer_->GetDevice()->ReadPixels(0, 0, WaterEffect::kMapWidth, WaterEffect::kMapHeight, &rgba);
    renderer_->BeginRenderToTexture(nullptr);
    return rgba;
  }

  // The map row (top first) where a point at view height `y` and depth
  // `depth` in front of the eye lands.
  float MapRow(float y, float depth) const {
    const Matrix4& p = camera_->GetProjection();
    const float clipY = y * p.m[1][1] + depth * p.m[2][1] + p.m[3][1];
    const float clipW = y * p.m[1][3] + depth * p.m[2][3] + p.m[3][3];
    return (0.5f - 0.5f * clipY / clipW) * static_cast<float>(WaterEffect::kMapHeight);
  }

  Rgb ScreenPixel(int32_t x, int32_t y) {
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 1, 1, &rgba);
    return {rgba[0], rgba[1], rgba[2]};
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
  Ref<SceneNode> root_;
};

// The rows (top first) of a map where the pixel is mostly the colour with
// the given dominant channel.
std::vector<int> RowsOf(const std::vector<uint8_t>& rgba, int channel) {
  std::vector<int> rows;
  for (uint32_t y = 0; y < WaterEffect::kMapHeight; ++y) {
    bool found = false;
    for (uint32_t x = 0; x < WaterEffect::kMapWidth && !found; ++x) {
      const uint8_t* p = &rgba[(y * WaterEffect::kMapWidth + x) * 4];
      found = p[channel] > 150 && p[(channel + 1) % 3] < 60 && p[(channel + 2) % 3] < 60;
    }
    if (found) rows.push_back(static_cast<int>(y));
  }
  return rows;
}

TEST_F(Water, TheMapsHoldTheWorldAboveMirroredAndTheWorldBelowStraight) {
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  effect->SetNormalmap(SolidTexture(128, 128, 255).Get());
  Ref<Triangles> water = Surface(effect.Get(), 40.0f);
  // A sign five units above the water, red on its upper half and blue on
  // its lower; a green one as far below; a yellow stone on the bed.
  Ref<Triangles> signTop = Panel("top", Color{1, 0, 0, 1}, -1, 1, 5, 6, 20);
  Ref<Triangles> signBottom = Panel("bottom", Color{0, 0, 1, 1}, -1, 1, 4, 5, 20);
  Ref<Triangles> sunk = Panel("sunk", Color{0, 1, 0, 1}, 3, 5, -6, -4, 20);
  Ref<Triangles> stone = Panel("stone", Color{1, 1, 0, 1}, -4, -2, -3, -1, 20);
  for (Triangles* node : {water.Get(), signTop.Get(), signBottom.Get(), sunk.Get(), stone.Get()}) {
    ASSERT_EQ(root_->AttachChild(node), kOk);
  }
  for (Triangles* node : {signTop.Get(), signBottom.Get(), sunk.Get(), stone.Get()}) {
    MapController(effect->GetReflectionMap())->AddNode(node);
    MapController(effect->GetRefractionMap())->AddNode(node);
  }
  Look({0, 1, 0}, {0, 0, 1});
  Frame();  // the water is drawn: its height is known from now on
  EXPECT_TRUE(MapController(effect->GetReflectionMap())->IsWaterSeen());
  Frame();  // the maps are drawn before the scene

  const std::vector<uint8_t> reflection = ReadMap(effect->GetReflectionMap());
  const std::vector<uint8_t> refraction = ReadMap(effect->GetRefractionMap());
  ASSERT_EQ(reflection.size(), size_t{WaterEffect::kMapWidth} * WaterEffect::kMapHeight * 4);
  ASSERT_EQ(refraction.size(), reflection.size());

  // The mirrored sign lies at y -6..-4, 20 units ahead of the eye at
  // height 1: blue from -5 to -4, red below it from -6 to -5.
  const std::vector<int> red = RowsOf(reflection, 0), blue = RowsOf(reflection, 2);
  ASSERT_FALSE(red.empty());
  ASSERT_FALSE(blue.empty());
  EXPECT_GE(red.front(), blue.back()) << "the mirrored sign is upside down";
  EXPECT_NEAR(blue.front(), MapRow(-5.0f, 20.0f), 2);
  EXPECT_NEAR(red.back(), MapRow(-7.0f, 20.0f), 2);
  EXPECT_TRUE(RowsOf(reflection, 1).empty()) << "what lies under the water is not mirrored";

  // The refraction: the stone and the sunken sign are there, the sign
  // above the water is not.
  bool yellow = false;
  for (size_t i = 0; i + 3 < refraction.size() && !yellow; i += 4) {
    yellow = refraction[i] > 150 && refraction[i + 1] > 150 && refraction[i + 2] < 60;
  }
  EXPECT_TRUE(yellow) << "the submerged stone is seen through the water";
  EXPECT_TRUE(RowsOf(refraction, 2).empty()) << "the sign above the water is clipped away";
  EXPECT_TRUE(RowsOf(refraction, 0).empty()) << "the sign above the water is clipped away";
  EXPECT_FALSE(RowsOf(refraction, 1).empty()) << "the green sign is below the water";
}

TEST_F(Water, AFrameWithoutTheWaterDrawsNoMaps) {
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  effect->SetNormalmap(SolidTexture(128, 128, 255).Get());
  Ref<Triangles> water = Surface(effect.Get(), 40.0f);
  ASSERT_EQ(root_->AttachChild(water.Get()), kOk);
  Look({0, 1, 0}, {0, 0, 1});
  Frame();
  ASSERT_TRUE(MapController(effect->GetRefractionMap())->IsWaterSeen());
  // High above, looking up, the water is culled: the frame draws the maps
  // for the last sighting, and no sighting is left for the next.
  Look({0, 200, 0}, Vector3{0, 1, 0.001f}.Normalized());
  Frame();
  EXPECT_FALSE(MapController(effect->GetRefractionMap())->IsWaterSeen());
}

TEST_F(Water, TheColourIsTheRefractionPlusFresnelTimesTheDifference) {
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  effect->SetNormalmap(SolidTexture(128, 128, 255).Get());  // flat: no bending
  effect->SetReflectionMap(SolidTexture(200, 40, 40).Get());
  effect->SetRefractionMap(SolidTexture(40, 40, 200).Get());
  effect->SetFresnelMap(SolidTexture(128, 128, 128, 4, 1).Get());
  effect->SetColor(Color{1, 0.5f, 1, 1});
  Ref<Triangles> water = Surface(effect.Get(), 40.0f);
  ASSERT_EQ(root_->AttachChild(water.Get()), kOk);
  Look({0, 10, 0}, Vector3{0, -1, 1}.Normalized());
  Frame();
  // refraction x colour = (40, 20, 200); F = 128/255.
  const float f = 128.0f / 255.0f;
  const Rgb pixel = ScreenPixel(kWidth / 2, kHeight - 4);
  EXPECT_NEAR(pixel.r, 40 + f * (200 - 40), 3);
  EXPECT_NEAR(pixel.g, 20 + f * (40 - 20), 3);
  EXPECT_NEAR(pixel.b, 200 + f * (40 - 200), 3);
}

TEST_F(Water, LookingStraightDownTheRampGivesAlmostOnlyTheRefraction) {
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  effect->SetNormalmap(SolidTexture(128, 128, 255).Get());
  effect->SetReflectionMap(SolidTexture(255, 255, 255).Get());
  effect->SetRefractionMap(SolidTexture(0, 0, 0).Get());
  Ref<Triangles> water = Surface(effect.Get(), 40.0f);
  ASSERT_EQ(root_->AttachChild(water.Get()), kOk);
  Look({0, 10, 0}, Vector3{0, -1, 0.0001f}.Normalized());
  Frame();  // the ramp is made in the first update
  Frame();
  // F0 of air and water is 0.02: about 5 of 255 of the white reflection.
  EXPECT_LE(ScreenPixel(kWidth / 2, kHeight / 2).r, 12);
  // Grazing, far along a level look, the reflection takes over.
  Look({0, 1, 0}, {0, 0, 1});
  Frame();
  EXPECT_GE(ScreenPixel(kWidth / 2, kHeight / 2 + 2).r, 150);
}

TEST_F(Water, WithoutPixelShader20ItIsAPlainTextureAndLogsNothing) {
  RendererCaps caps = renderer_->GetCaps();
  caps.pixelShaderLevel = 0;
  renderer_->OverrideCaps(caps);
  test::ScopedLogCapture log;
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  effect->SetTexture(SolidTexture(30, 90, 160).Get());
  effect->SetNormalmap(SolidTexture(128, 128, 255).Get());
  Ref<Triangles> water = Surface(effect.Get(), 40.0f);
  ASSERT_EQ(root_->AttachChild(water.Get()), kOk);
  Look({0, 10, 0}, Vector3{0, -1, 1}.Normalized());
  Frame();
  Frame();
  const Rgb pixel = ScreenPixel(kWidth / 2, kHeight - 4);
  EXPECT_NEAR(pixel.r, 30, 2);
  EXPECT_NEAR(pixel.g, 90, 2);
  EXPECT_NEAR(pixel.b, 160, 2);
  EXPECT_FALSE(MapController(effect->GetReflectionMap())->IsWaterSeen()) << "no maps for the texture technique";
  for (const test::LoggedLine& line : log->lines) EXPECT_NE(line.level, kLogError) << line.text;
}

using WaterStorage = test::EngineTest;

TEST_F(WaterStorage, TheEffectMakesItsMapsAndStoresThemWithTheirControllers) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  ASSERT_NE(effect->GetReflectionMap(), nullptr);
  ASSERT_NE(effect->GetRefractionMap(), nullptr);
  ASSERT_NE(effect->GetFresnelMap(), nullptr);
  EXPECT_EQ(effect->GetReflectionMap()->GetImage()->GetWidth(), 512u);
  EXPECT_EQ(effect->GetReflectionMap()->GetImage()->GetHeight(), 256u);
  EXPECT_EQ(effect->GetFresnelMap()->GetImage()->GetHeight(), 1u);
  const std::string reflectName = "Reflect Texture " + std::to_string(effect->GetReflectionMap()->GetID());
  EXPECT_EQ(effect->FindByName(String(reflectName.c_str())), effect->GetReflectionMap());
  Array<Object*> textures;
  effect->CollectByType(Texture::TYPE, textures);
  EXPECT_EQ(textures.Count(), 3) << "the three maps (no texture or normal map set)";
  EXPECT_NE(DynamicCast<RenderScreenspaceReflectTextureController>(effect->GetReflectionMap()->GetController(0)),
            nullptr);
  EXPECT_NE(DynamicCast<RenderScreenspaceRefractTextureController>(effect->GetRefractionMap()->GetController(0)),
            nullptr);
  EXPECT_NE(DynamicCast<FresnelTextureController>(effect->GetFresnelMap()->GetController(0)), nullptr);

  // A scene: the water and a hill it mirrors.
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<Triangles> hill = Panel("hill", Color{0, 1, 0, 1}, -1, 1, 0, 2, 10);
  effect->normalmapScale = Vector2{12, 9};
  effect->waveAmplitude = 0.15f;
  effect->waveSpeed = 0.5f;
  effect->reflectionDistortion = 0.12f;
  effect->refractionDistortion = 0.06f;
  effect->SetNormalmap(SolidTexture(128, 128, 255).Get());
  Ref<Triangles> water = Surface(effect.Get(), 10.0f);
  ASSERT_EQ(root->AttachChild(hill.Get()), kOk);
  ASSERT_EQ(root->AttachChild(water.Get()), kOk);
  MapController(effect->GetReflectionMap())->AddNode(hill.Get());
  MapController(effect->GetRefractionMap())->AddNode(hill.Get());

  Ref<Object> loaded = test::SaveAndLoadScene(root.Get(), "water.STR");
  ASSERT_TRUE(loaded);
  auto* waterCopy = DynamicCast<Triangles>(loaded->FindByName(String("water")));
  ASSERT_NE(waterCopy, nullptr);
  auto* copy = DynamicCast<WaterEffect>(waterCopy->GetEffect());
  ASSERT_NE(copy, nullptr);
  EXPECT_FLOAT_EQ(copy->normalmapScale.x, 12);
  EXPECT_FLOAT_EQ(copy->normalmapScale.y, 9);
  EXPECT_FLOAT_EQ(copy->waveAmplitude, 0.15f);
  EXPECT_FLOAT_EQ(copy->waveSpeed, 0.5f);
  EXPECT_FLOAT_EQ(copy->reflectionDistortion, 0.12f);
  EXPECT_FLOAT_EQ(copy->refractionDistortion, 0.06f);
  // The stored maps replace the ones the load's constructor made, with
  // their names and their controllers' lists.
  ASSERT_NE(copy->GetReflectionMap(), nullptr);
  EXPECT_EQ(std::string(copy->GetReflectionMap()->GetName().CStr()), reflectName);
  ScreenspaceTextureController* reflect = MapController(copy->GetReflectionMap());
  ASSERT_NE(reflect, nullptr);
  ASSERT_EQ(reflect->GetNodeCount(), 1);
  EXPECT_EQ(reflect->GetNode(0), loaded->FindByName(String("hill")));
  EXPECT_NE(DynamicCast<RenderScreenspaceRefractTextureController>(copy->GetRefractionMap()->GetController(0)),
            nullptr);
  EXPECT_NE(DynamicCast<FresnelTextureController>(copy->GetFresnelMap()->GetController(0)), nullptr);
}

TEST_F(WaterStorage, AMapThatWouldDrawTheWatersOwnAncestorIsRefused) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  // The reflection listing the node that holds the water would hold itself
  // through the water, its effect and the map.
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<WaterEffect> effect(new WaterEffect(String("lake")));
  Ref<Triangles> water = Surface(effect.Get(), 10.0f);
  ASSERT_EQ(root->AttachChild(water.Get()), kOk);
  MapController(effect->GetReflectionMap())->AddNode(root.Get());
  test::ScratchFolder folder;
  const std::string path = folder.File("loop.STR");
  {
    VirtualFile file{String(path.c_str())};
    ASSERT_EQ(SaveScene(&file, root.Get()), kOk);
  }
  // The graph in memory holds the loop too: broken by hand.
  MapController(effect->GetReflectionMap())->ClearNodes();
  test::ScopedLogCapture log;
  VirtualFile file{String(path.c_str())};
  Ref<Object> loaded;
  EXPECT_NE(LoadScene(&file, &loaded), kOk);
  int errors = 0;
  for (const test::LoggedLine& line : log->lines) errors += line.level == kLogError;
  EXPECT_GT(errors, 0);
}

}  // namespace
}  // namespace klx
