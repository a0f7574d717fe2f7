// Skinned meshes drawn headless: an arm bent at its elbow has the same
// silhouette, within a pixel, whether the vertex shader blends it or the
// processor does, with the texture effect and with the lit effect; the
// effect keeps its skin controller (made inactive) only where the vertex
// shaders reach 2.0 and the palette holds the skin, and otherwise hands it
// back to the processor.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "animation/skeleton_animation_controller.h"
#include "animation/skin_controller.h"
#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "render/device_renderer.h"
#include "render/effects/lit_effect.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "support/image_test_support.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

constexpr int kSize = 64;
constexpr float kHalfSqrt2 = 0.70710678f;

enum class Path { kShader, kProcessorWithShaders, kFixedFunction };

Ref<Texture> White() {
  Ref<Image> image(new Image(String(), kImageRGB8, 1, 1));
  std::fill(image->EditPixels(), image->EditPixels() + 3, 255);
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(image.Get());
  return texture;
}

// A strip 0.4 wide from y = 0 to y = 2 on two bones: the shoulder at the
// origin and the elbow at y = 1, bent a quarter turn about +z. The row at
// the elbow is half on each bone.
struct BentArm {
  Ref<SceneNode> root{new SceneNode(String("root"))};
  Ref<SceneNode> shoulder{new SceneNode(String("shoulder"))};
  Ref<SceneNode> elbow{new SceneNode(String("elbow"))};
  Ref<Triangles> mesh{new Triangles(String("arm"))};
  Ref<SkinController> skin{new SkinController(String("skin"))};

  explicit BentArm(GeometryNodeEffect* effect) {
    std::vector<Vector3> points, normals;
    std::vector<Vector4> weights, indices;
    std::vector<Vector2> uv;
    for (int row = 0; row <= 4; ++row) {
      const float y = 0.5f * static_cast<float>(row);
      for (float x : {-0.2f, 0.2f}) {
        points.push_back({x, y, 0});
        normals.push_back({0, 0, -1});
        uv.push_back({x + 0.5f, y * 0.5f});
        weights.push_back(row < 2 ? Vector4{1, 0, 0, 0} : row == 2 ? Vector4{0.5f, 0.5f, 0, 0} : Vector4{1, 0, 0, 0});
        indices.push_back(row < 2 ? Vector4{0, 0, 0, 0} : row == 2 ? Vector4{0, 1, 0, 0} : Vector4{1, 0, 0, 0});
      }
    }
    std::vector<int32_t> triangles;
    for (int32_t row = 0; row < 4; ++row) {
      const int32_t a = row * 2;
      for (int32_t index : {a, a + 1, a + 3, a, a + 3, a + 2}) triangles.push_back(index);
    }
    const auto count = static_cast<int32_t>(points.size());
    mesh->SetVertexBuffer(new Vector3Buffer(String(), count, points.data()));
    mesh->SetNormalBuffer(new Vector3Buffer(String(), count, normals.data()));
    mesh->SetTexCoordBuffer(0, new Vector2Buffer(String(), count, uv.data()));
    mesh->SetIndexBuffer(new IntBuffer(String(), static_cast<int32_t>(triangles.size()), triangles.data()));
    mesh->UpdateModelBound();
    skin->SetVertices(new Vector3Buffer(String(), count, points.data()));
    skin->SetNormals(new Vector3Buffer(String(), count, normals.data()));
    skin->SetWeights(new Vector4Buffer(String(), count, weights.data()));
    skin->SetIndices(new Vector4Buffer(String(), count, indices.data()));
    Transform toElbow;
    SetTranslation(toElbow, Vector3{0, -1, 0});
    skin->AddBone(shoulder.Get(), Transform{});
    skin->AddBone(elbow.Get(), toElbow);
    EXPECT_EQ(mesh->AttachController(skin.Get()), kOk);
    SetTranslation(elbow->LocalTransform(), Vector3{0, 1, 0});
    SetRotation(elbow->LocalTransform(), Quaternion{0, 0, kHalfSqrt2, kHalfSqrt2});
    EXPECT_EQ(root->AttachChild(shoulder.Get()), kOk);
    EXPECT_EQ(shoulder->AttachChild(elbow.Get()), kOk);
    EXPECT_EQ(root->AttachChild(mesh.Get()), kOk);
    // The mesh's own transform plays no part in either path.
    SetTranslation(mesh->LocalTransform(), Vector3{3, 3, 3});
    effect->SetSkinController(skin.Get());
    mesh->SetEffect(effect);
  }
};

class SkinnedEffects : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(kSize, kSize, "skinned");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    realCaps_ = renderer_->GetCaps();
    if (realCaps_.vertexShaderLevel != 1 && realCaps_.vertexShaderLevel != 2) {
      GTEST_SKIP() << "no vertex shader 2.0 here";
    }
    camera_ = new Camera(String("cam"));
    SetTranslation(camera_->LocalTransform(), {0, 1, -5});
    renderer_->SetCamera(camera_.Get());
  }
  void TearDown() override {
    camera_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  void UseCaps(Path path) {
    RendererCaps caps = realCaps_;
    if (path == Path::kProcessorWithShaders) caps.vertexShaderLevel = caps.pixelShaderLevel = 0;
    if (path == Path::kFixedFunction) caps.vertexShaderLevel = caps.pixelShaderLevel = kShaderLevelNone;
    renderer_->OverrideCaps(caps);
  }

  // Two updates (the first lets the effect choose the path), then a frame;
  // the mask of lit pixels, top row first.
  std::vector<bool> Silhouette(Node* root) {
    root->UpdateGeometricState(0.0, false);
    root->UpdateGeometricState(0.0, false);
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    EXPECT_EQ(renderer_->BeginFrame(), kOk);
    root->Draw(renderer_);
    renderer_->EndFrame();
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(0, 0, kSize, kSize, &rgba);
    std::vector<bool> mask(kSize * kSize);
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = rgba[i * 4] > 20 || rgba[i * 4 + 1] > 20;
    return mask;
  }

  DeviceRenderer* renderer_ = nullptr;
  RendererCaps realCaps_;
  Ref<Camera> camera_;
};

// Pixels of `a` with no pixel of `b` within one pixel.
int Unmatched(const std::vector<bool>& a, const std::vector<bool>& b) {
  int unmatched = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      if (!a[y * kSize + x]) continue;
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        for (int dx = -1; dx <= 1 && !near; ++dx) {
          const int nx = x + dx, ny = y + dy;
          near = nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && b[ny * kSize + nx];
        }
      }
      unmatched += !near;
    }
  }
  return unmatched;
}

int Count(const std::vector<bool>& mask) { return static_cast<int>(std::count(mask.begin(), mask.end(), true)); }

Ref<GeometryNodeEffect> MakeEffect(bool lit) {
  Ref<TextureEffect> effect(lit ? new Texture1DLEffect(String("lit")) : new TextureEffect(String("plain")));
  effect->SetTexture(White().Get());
  effect->cull = false;
  effect->ambient = Color{0.5f, 0.5f, 0.5f, 1};
  return Ref<GeometryNodeEffect>(effect.Get());
}

class SkinnedPaths : public SkinnedEffects, public ::testing::WithParamInterface<Path> {};

TEST_P(SkinnedPaths, TheBentArmHasTheShaderPathsSilhouette) {
  for (bool lit : {false, true}) {
    UseCaps(Path::kShader);
    Ref<GeometryNodeEffect> shaderEffect = MakeEffect(lit);
    BentArm shaderArm(shaderEffect.Get());
    const std::vector<bool> reference = Silhouette(shaderArm.root.Get());
    EXPECT_EQ(shaderEffect->GetSkinController(), shaderArm.skin.Get()) << lit;
    EXPECT_FALSE(shaderArm.skin->IsActive()) << lit;

    UseCaps(GetParam());
    Ref<GeometryNodeEffect> effect = MakeEffect(lit);
    BentArm arm(effect.Get());
    const std::vector<bool> drawn = Silhouette(arm.root.Get());
    if (GetParam() == Path::kShader) {
      EXPECT_EQ(effect->GetSkinController(), arm.skin.Get());
      EXPECT_FALSE(arm.skin->IsActive());
    } else {
      // Without vertex shader 2.0 the effect gives the skin back to the
      // processor.
      EXPECT_EQ(effect->GetSkinController(), nullptr) << lit;
      EXPECT_TRUE(arm.skin->IsActive()) << lit;
    }
    EXPECT_GT(Count(reference), 60) << lit;
    EXPECT_EQ(Unmatched(reference, drawn), 0) << lit;
    EXPECT_EQ(Unmatched(drawn, reference), 0) << lit;

    // The comparison sees a bend: the straight arm's silhouette differs.
    UseCaps(Path::kShader);
    Ref<GeometryNodeEffect> straightEffect = MakeEffect(lit);
    BentArm straight(straightEffect.Get());
    straight.elbow->LocalTransform().rotation = Quaternion{0, 0, 0, 1};
    EXPECT_GT(Unmatched(Silhouette(straight.root.Get()), reference), 20) << lit;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, SkinnedPaths,
                         ::testing::Values(Path::kShader, Path::kProcessorWithShaders, Path::kFixedFunction));

TEST_F(SkinnedEffects, ASkinTheShaderCannotTakeSkinsOnTheProcessor) {
  UseCaps(Path::kShader);
  // More bones than the palette holds.
  {
    Ref<GeometryNodeEffect> effect = MakeEffect(false);
    BentArm arm(effect.Get());
    while (arm.skin->GetBoneCount() <= SkinController::kMaxShaderBones) arm.skin->AddBone(arm.elbow.Get(), Transform{});
    const std::vector<bool> drawn = Silhouette(arm.root.Get());
    EXPECT_EQ(effect->GetSkinController(), nullptr);
    EXPECT_TRUE(arm.skin->IsActive());
    EXPECT_GT(Count(drawn), 60);
  }
  // Wind: the wind text comes first and cannot skin.
  {
    Ref<GeometryNodeEffect> effect = MakeEffect(false);
    BentArm arm(effect.Get());
    effect->SetWindEnable(true);
    Silhouette(arm.root.Get());
    EXPECT_EQ(effect->GetSkinController(), nullptr);
  }
  // The lit effect without bind-pose normals.
  {
    Ref<GeometryNodeEffect> effect = MakeEffect(true);
    BentArm arm(effect.Get());
    arm.skin->SetNormals(nullptr);
    Silhouette(arm.root.Get());
    EXPECT_EQ(effect->GetSkinController(), nullptr);
  }
  // Setting a controller makes the old and the new one active.
  {
    Ref<GeometryNodeEffect> effect = MakeEffect(false);
    BentArm arm(effect.Get());
    Silhouette(arm.root.Get());
    ASSERT_FALSE(arm.skin->IsActive());
    Ref<SkinController> other(new SkinController(String("other")));
    other->SetActive(false);
    effect->SetSkinController(other.Get());
    EXPECT_TRUE(arm.skin->IsActive());
    EXPECT_TRUE(other->IsActive());
  }
}

// The whole skinned arm, with a skeleton playing its elbow, through the
// scene codec: the effect's skin is the mesh's controller after loading.
// KLX_SEED_OUT names a file to keep the scene in (the scene fuzz seed).
using SkinnedScene = test::EngineTest;

TEST_F(SkinnedScene, TheArmRoundTripsThroughTheSceneCodec) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  Ref<GeometryNodeEffect> effect = MakeEffect(true);
  BentArm arm(effect.Get());
  Ref<SkeletonAnimationController> skeleton(new SkeletonAnimationController(String("skeleton")));
  Ref<NodeAnimationController> elbowCycle(new NodeAnimationController(String("elbow cycle")));
  ASSERT_EQ(arm.elbow->AttachController(elbowCycle.Get()), kOk);
  skeleton->AddBoneController(elbowCycle.Get());
  ASSERT_EQ(arm.root->AttachController(skeleton.Get()), kOk);
  test::ScratchFolder folder;
  const std::string path = folder.File("arm.STR");
  {
    VirtualFile file{String(path.c_str())};
    ASSERT_EQ(SaveScene(&file, arm.root.Get()), kOk);
  }
  test::KeepAsSeed(path);
  VirtualFile file{String(path.c_str())};
  Ref<Object> loaded;
  ASSERT_EQ(LoadScene(&file, &loaded), kOk);
  auto* mesh = DynamicCast<GeometryNode>(loaded->FindByName(String("arm")));
  ASSERT_NE(mesh, nullptr);
  auto* skin = DynamicCast<SkinController>(mesh->GetController(0));
  ASSERT_NE(skin, nullptr);
  auto* loadedEffect = DynamicCast<Texture1DLEffect>(mesh->GetEffect());
  ASSERT_NE(loadedEffect, nullptr);
  EXPECT_EQ(loadedEffect->GetSkinController(), skin);
  EXPECT_EQ(skin->GetBone(1), loaded->FindByName(String("elbow")));
  auto* loadedSkeleton = DynamicCast<SkeletonAnimationController>(loaded->FindByName(String("skeleton")));
  ASSERT_NE(loadedSkeleton, nullptr);
  ASSERT_EQ(loadedSkeleton->GetBoneControllerCount(), 1);
  EXPECT_EQ(loadedSkeleton->GetBoneController(0), loaded->FindByName(String("elbow cycle")));
  // Without a renderer the effect keeps the skin (a tool that writes the
  // scene must not lose it), and the active skin bends the loaded arm on
  // the processor: its tip lands a quarter turn round the elbow.
  auto* root = DynamicCast<SceneNode>(loaded.Get());
  ASSERT_NE(root, nullptr);
  root->UpdateGeometricState(0.0, false);
  root->UpdateGeometricState(0.0, false);
  EXPECT_EQ(loadedEffect->GetSkinController(), skin);
  EXPECT_TRUE(skin->IsActive());
  const Vector3 tip = static_cast<Vector3Buffer*>(mesh->GetVertexBuffer())->Elements()[9];
  EXPECT_NEAR(tip.x, -1.0f, 1e-4f);
  EXPECT_NEAR(tip.y, 1.2f, 1e-4f);
}

}  // namespace
}  // namespace klx
