// Sprite particles drawn headless through the sprite effect: camera-facing
// quads where the device has no point sprites (llvmpipe), and point sprites
// when the caps say so; a flare's quad lands on its position on screen.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "render/device_renderer.h"
#include "render/effects/sprite_effect.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
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
        uint8_t* pixel = glow->GetPixels() + (y * 16 + x) * 4;
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

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
  Ref<Texture> texture_;
};

TEST_F(ParticleRendering, QuadParticlesShowWhereTheyAre) {
  ASSERT_FALSE(renderer_->DrawsPointSprites()) << "llvmpipe draws quads";
  Ref<SpriteParticleSystem> system(new SpriteParticleSystem(String("puffs")));
  Ref<SpriteEffect> effect(new SpriteEffect(String("glow")));
  effect->SetTexture(texture_.Get());
  ASSERT_EQ(system->SetEffect(effect.Get()), kOk);
  system->SetEmitter(Ref<PointEmitter>(new PointEmitter(String("here"))).Get());
  system->particlesPerBurst = 1;
  system->emissionInterval = 100.0f;
  system->lifetime = 100.0f;
  system->speed = 0.0f;
  system->birthColor = system->deathColor = Color{1, 1, 1, 1};
  system->birthSize = system->deathSize = 2.0f;
  system->SetMaximumParticles(4);
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

}  // namespace
}  // namespace klx
