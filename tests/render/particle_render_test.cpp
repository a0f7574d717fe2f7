// Sprite particles drawn headless through the sprite effect: camera-facing
// quads where the device has no point sprites (llvmpipe), and point sprites
// when the caps say so; a flare's quad lands on its position on screen.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "render/device_renderer.h"
#include "render/effects/sprite_effect.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "support/scene_round_trip.h"
#include "support/image_test_support.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

constexpr int kSize = 64;

class ParticleRendering : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(kSize, kSize, "particles");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    camera_ = new Camera(String("cam"));
    SetTranslation(camera_->LocalTransform(), {0, 0, -10});
    renderer_->SetCamera(camera_.Get());
    camera_->UpdateGeometricState(0.0, false);
    // Red on its left half, green on its right: a quad shows both only
    // when its corners get their own texture coordinates.
    Ref<Image> glow(new Image(String(), kImageRGBA8, 16, 16));
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        uint8_t* pixel = glow->EditPixels() + (y * 16 + x) * 4;
        pixel[0] = x < 8 ? 255 : 0;
        pixel[1] = x < 8 ? 0 : 255;
        pixel[2] = 0;
        pixel[3] = 255;
      }
    }
    texture_ = new Texture(String("glow"));
    texture_->SetImage(glow.Get());
  }
  void TearDown() override {
    camera_ = nullptr;
    texture_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }
  // The lit pixels of a frame with `node` drawn (updated first), and their
  // middle, top row first.
  int LitPixels(Node* node, double* middleX = nullptr, double* middleY = nullptr, int* greenPixels = nullptr) {
    node->UpdateGeometricState(0.05, false);
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    EXPECT_EQ(renderer_->BeginFrame(), kOk);
    node->Draw(renderer_);
    renderer_->FlushQueues();
    renderer_->EndFrame();
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(0, 0, kSize, kSize, &rgba);
    int lit = 0;
    double sx = 0, sy = 0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const size_t at = (static_cast<size_t>(y) * kSize + x) * 4;
        if (greenPixels != nullptr && rgba[at + 1] > 100 && rgba[at] < 40) ++*greenPixels;
        if (rgba[at] > 100 && rgba[at + 1] < 40) {
          ++lit;
          sx += x;
          sy += y;
        }
      }
    }
    if (middleX != nullptr && lit > 0) *middleX = sx / lit;
    if (middleY != nullptr && lit > 0) *middleY = sy / lit;
    return lit;
  }

  // A system of one white particle of `size` that stays where it is born,
  // drawn with the picture.
  Ref<SpriteParticleSystem> StillParticle(float size) {
    Ref<SpriteParticleSystem> system(new SpriteParticleSystem(String("still")));
    Ref<SpriteEffect> effect(new SpriteEffect(String("glow")));
    effect->SetTexture(texture_.Get());
    EXPECT_EQ(system->SetEffect(effect.Get()), kOk);
    system->SetEmitter(Ref<PointEmitter>(new PointEmitter(String("here"))).Get());
    system->particlesPerBurst = 1;
    system->emissionInterval = 100.0f;
    system->lifetime = 100.0f;
    system->speed = 0.0f;
    system->birthColor = system->deathColor = Color{1, 1, 1, 1};
    system->birthSize = system->deathSize = size;
    system->SetMaximumParticles(4);
    return system;
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
  Ref<Texture> texture_;
};

TEST_F(ParticleRendering, QuadParticlesShowWhereTheyAre) {
  ASSERT_FALSE(renderer_->DrawsPointSprites()) << "llvmpipe draws quads";
  Ref<SpriteParticleSystem> system = StillParticle(2.0f);
  SetTranslation(system->LocalTransform(), Vector3{2, 0, 0});
  double x = 0, y = 0;
  int green = 0;
  const int red = LitPixels(system.Get(), &x, &y, &green);
  // Both halves of the picture show, red on the left of the quad.
  EXPECT_GT(red, 15);
  EXPECT_GT(green, 15);
  EXPECT_NEAR(red, green, red / 4 + 2);
  EXPECT_GT(x, kSize / 2);  // the quad stands right of the middle
  EXPECT_NEAR(y, kSize / 2, 2.0);
}

// Caps that claim point sprites (llvmpipe's largest point is below the
// renderer's bar): the same system draws one textured point a particle.
TEST_F(ParticleRendering, PointSpritesShowWhenTheCapsAllowThem) {
  RendererCaps caps = renderer_->GetCaps();
  caps.pointSprites = true;
  renderer_->OverrideCaps(caps);
  ASSERT_TRUE(renderer_->DrawsPointSprites());
  Ref<SpriteParticleSystem> system = StillParticle(8.0f);
  int green = 0;
  const int red = LitPixels(system.Get(), nullptr, nullptr, &green);
  EXPECT_EQ(system->GetPrimitiveType(), kPrimitivePoints);
  EXPECT_EQ(system->GetVertexBuffer()->GetCount(), 4);
  EXPECT_GT(red + green, 4);
}

}  // namespace
}  // namespace klx

namespace klx {
namespace {

// Every particle class in one scene through the scene codec: the links
// (emitters, their node and geometry, the drawn node, effects) come back,
// and no generated vertex is stored. KLX_SEED_OUT names a file to keep the
// scene in (the scene fuzz seed).
using ParticleScene = test::EngineTest;

TEST_F(ParticleScene, EveryParticleClassRoundTripsThroughTheSceneCodec) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<SpriteEffect> effect(new SpriteEffect(String("glow")));
  effect->windAmplitude = 0.3f;
  Ref<Triangles> ground(new Triangles(String("ground")));
  const Vector3 corners[3] = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
  const int32_t indices[3] = {0, 1, 2};
  ground->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 3, corners)).Get());
  ground->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 3, indices)).Get());
  ASSERT_EQ(root->AttachChild(ground.Get()), kOk);

  Ref<SpriteParticleSystem> sparks(new SpriteParticleSystem(String("sparks")));
  Ref<SphereVolumeEmitter> ball(new SphereVolumeEmitter(String("ball")));
  ball->SetRadius(2.5f);
  ball->SetAngles(0.1f, 0.9f);
  sparks->SetEmitter(ball.Get());
  sparks->SetEffect(effect.Get());
  sparks->SetMaximumParticles(40);
  Ref<Foliage> leaves(new Foliage(String("leaves")));
  Ref<TrianglesEmitter> surface(new TrianglesEmitter(String("surface")));
  surface->SetGeometry(ground.Get());
  leaves->SetEmitter(surface.Get());
  leaves->SetEffect(effect.Get());
  leaves->SetMaximumParticles(20);
  Ref<NodeParticleSystem> pebbles(new NodeParticleSystem(String("pebbles")));
  pebbles->SetEmitter(Ref<PointEmitter>(new PointEmitter(String("point"))).Get());
  pebbles->SetDrawnNode(ground.Get());
  pebbles->SetMaximumParticles(5);
  Ref<Flare> flare(new Flare(String("flare")));
  flare->SetEffect(effect.Get());
  flare->size = 4.0f;
  for (Node* node : std::initializer_list<Node*>{sparks.Get(), leaves.Get(), pebbles.Get(), flare.Get()}) {
    ASSERT_EQ(root->AttachChild(node), kOk);
  }
  for (int frame = 0; frame < 30; ++frame) root->UpdateGeometricState(0.1, false);
  ASSERT_GT(sparks->GetLiveCount(), 0);

  Ref<Object> loaded = test::SaveAndLoadScene(root.Get(), "particles.STR");
  ASSERT_TRUE(loaded);
  auto* sparksCopy = DynamicCast<SpriteParticleSystem>(loaded->FindByName(String("sparks")));
  auto* leavesCopy = DynamicCast<Foliage>(loaded->FindByName(String("leaves")));
  auto* pebblesCopy = DynamicCast<NodeParticleSystem>(loaded->FindByName(String("pebbles")));
  auto* flareCopy = DynamicCast<Flare>(loaded->FindByName(String("flare")));
  ASSERT_NE(sparksCopy, nullptr);
  ASSERT_NE(leavesCopy, nullptr);
  ASSERT_NE(pebblesCopy, nullptr);
  ASSERT_NE(flareCopy, nullptr);
  auto* ballCopy = DynamicCast<SphereVolumeEmitter>(sparksCopy->GetEmitter());
  ASSERT_NE(ballCopy, nullptr);
  EXPECT_FLOAT_EQ(ballCopy->GetRadius(), 2.5f);
  EXPECT_FLOAT_EQ(ballCopy->GetMinimumAngle(), 0.1f);
  EXPECT_EQ(ballCopy->GetNode(), sparksCopy);
  auto* surfaceCopy = DynamicCast<TrianglesEmitter>(leavesCopy->GetEmitter());
  ASSERT_NE(surfaceCopy, nullptr);
  EXPECT_EQ(surfaceCopy->GetGeometry(), loaded->FindByName(String("ground")));
  EXPECT_EQ(pebblesCopy->GetDrawnNode(), loaded->FindByName(String("ground")));
  EXPECT_FLOAT_EQ(flareCopy->size, 4.0f);
  EXPECT_EQ(sparksCopy->GetEffect(), flareCopy->GetEffect());
  // Nothing generated was stored: the systems start empty, without
  // buffers until their first update.
  EXPECT_EQ(sparksCopy->GetLiveCount(), 0);
  EXPECT_EQ(flareCopy->GetVertexBuffer(), nullptr);
}

}  // namespace
}  // namespace klx
