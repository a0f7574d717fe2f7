// The sprite effect: its render state (point sprites, additive blending,
// no depth writes while blending), a sprite drawn headless adding its
// light to the frame, and its stored form.

#include <gtest/gtest.h>

#include <vector>

#include "core/memory_stream.h"
#include "render/device_renderer.h"
#include "render/effects/sprite_effect.h"
#include "render/render_state_block.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

using SpriteEffects = test::EngineTest;

TEST_F(SpriteEffects, PointSpritesAddTheirLightWithoutWritingDepth) {
  DeviceRenderer* renderer = OpenOffscreenRenderer(32, 32, "sprites");
  if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
  {
    Ref<Camera> camera(new Camera(String("cam")));
    SetTranslation(camera->LocalTransform(), {0, 0, -5});
    renderer->SetCamera(camera.Get());
    Ref<Image> white(new Image(String(), kImageRGBA8, 2, 2));
    std::fill(white->EditPixels(), white->EditPixels() + 16, 255);
    Ref<Texture> texture(new Texture(String("spark")));
    texture->SetImage(white.Get());
    Ref<SpriteEffect> effect(new SpriteEffect(String("sparks")));
    effect->SetTexture(texture.Get());

    // One spark of 8 pixels in the middle, half transparent orange.
    const Vector3 position{0, 0, 0};
    const float size = 8.0f;
    const Color colour{1, 0.5f, 0, 0.5f};
    const Vector2 uv{0, 0};
    Ref<Points> points(new Points(String("spark")));
    points->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 1, &position)).Get());
    points->SetPointSizeBuffer(Ref<FloatBuffer>(new FloatBuffer(String(), 1, &size)).Get());
    points->SetColorBuffer(Ref<ColorBuffer>(new ColorBuffer(String(), 1, &colour)).Get());
    points->SetTexCoordBuffer(0, Ref<Vector2Buffer>(new Vector2Buffer(String(), 1, &uv)).Get());
    const int32_t index = 0;
    points->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 1, &index)).Get());
    points->UpdateModelBound();
    points->SetEffect(effect.Get());
    points->UpdateGeometricState(0, false);

    ASSERT_EQ(effect->PassCount(), 1);
    RenderStateBlock* block = effect->GetCurrentTechnique()->GetPass(0)->GetRenderStateBlock();
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(block->pointSprites);
    EXPECT_TRUE(block->blendEnable);
    EXPECT_EQ(block->sourceBlend, 4);
    EXPECT_EQ(block->destinationBlend, 1);
    EXPECT_FALSE(block->depthWrite);

    // Over a grey frame the spark adds colour x alpha: (64 + 128, 64 + 64, 64).
    renderer->Clear(kClearTarget | kClearDepth, Color{0.25f, 0.25f, 0.25f, 1}, 1.0f, 0);
    ASSERT_EQ(renderer->BeginFrame(), kOk);
    points->Draw(renderer);
    renderer->EndFrame();
    std::vector<uint8_t> rgba;
    renderer->GetDevice()->ReadPixels(16, 16, 1, 1, &rgba);
    EXPECT_NEAR(rgba[0], 64 + 128, 3);
    EXPECT_NEAR(rgba[1], 64 + 64, 3);
    EXPECT_NEAR(rgba[2], 64, 3);
    renderer->GetDevice()->ReadPixels(2, 2, 1, 1, &rgba);
    EXPECT_NEAR(rgba[0], 64, 2);  // outside the sprite

    // Unblended sprites write depth.
    effect->blend = false;
    effect->InvalidatePasses();
    ASSERT_EQ(renderer->BeginFrame(), kOk);
    points->Draw(renderer);
    renderer->EndFrame();
    EXPECT_TRUE(block->depthWrite);
    renderer->SetCamera(nullptr);
  }
  ReleaseRenderer();
}

TEST_F(SpriteEffects, TheTextureIsStoredFoundAndCollected) {
  Ref<SpriteEffect> effect(new SpriteEffect(String("sparks")));
  Ref<Texture> texture(new Texture(String("spark")));
  effect->SetTexture(texture.Get());
  effect->blend = false;
  EXPECT_EQ(effect->FindByName(String("spark")), texture.Get());
  Array<Object*> found(2, 2);
  effect->CollectByType(Texture::TYPE, found);
  EXPECT_EQ(found.Count(), 1);
  MemoryStream stream(1024, 1024);
  ASSERT_EQ(stream.WriteObject(effect.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<SpriteEffect> copy(DynamicCast<SpriteEffect>(loaded));
  ASSERT_TRUE(copy);
  ASSERT_NE(copy->GetTexture(), nullptr);
  EXPECT_EQ(copy->GetTexture()->GetName(), "spark");
  EXPECT_FALSE(copy->blend);  // the stored value, not the default
}

}  // namespace
}  // namespace klx
