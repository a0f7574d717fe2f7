// The controllers that make a texture's image: the normal map of a height
// image and the Fresnel ramp, run through the texture's update (and the
// texture effect's), once, and stored with their settings.

#include <gtest/gtest.h>

#include <cstring>

#include "core/memory_stream.h"
#include "render/effects/material_effects.h"
#include "render/effects/texture_controllers.h"
#include "render/texture.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using TextureControllers = test::EngineTest;

// A texture over a one-byte image of w x h heights.
Ref<Texture> HeightTexture(uint32_t width, uint32_t height, uint8_t (*value)(uint32_t x, uint32_t y)) {
  Ref<Image> image(new Image(String("heights"), kImageA8, width, height));
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) image->EditPixels()[y * width + x] = value(x, y);
  }
  Ref<Texture> texture(new Texture(String("bumps")));
  texture->SetImage(image.Get());
  return texture;
}

const uint8_t* Pixel(const Texture& texture, uint32_t x, uint32_t y) {
  const Image& image = *texture.GetImage();
  return image.GetPixels() + (static_cast<size_t>(y) * image.GetWidth() + x) * BytesPerPixel(image.GetFormat());
}

TEST_F(TextureControllers, AFlatHeightImageBecomesStraightUpNormals) {
  for (bool heightInAlpha : {false, true}) {
    Ref<Texture> texture = HeightTexture(4, 3, [](uint32_t, uint32_t) -> uint8_t { return 100; });
    Ref<NormalmapTextureController> controller(new NormalmapTextureController(String("normals")));
    controller->SetBumpCoefficient(4.0f);
    controller->SetKeepHeightInAlpha(heightInAlpha);
    ASSERT_EQ(texture->AttachController(controller.Get()), kOk);
    texture->Update(0.02);  // the texture's update runs its controllers
    ASSERT_TRUE(controller->IsDone());
    ASSERT_EQ(texture->GetImage()->GetFormat(), heightInAlpha ? kImageRGBA8 : kImageRGB8);
    for (uint32_t y = 0; y < 3; ++y) {
      for (uint32_t x = 0; x < 4; ++x) {
        const uint8_t* p = Pixel(*texture, x, y);
        EXPECT_EQ(p[0], 128);
        EXPECT_EQ(p[1], 128);
        EXPECT_EQ(p[2], 255);
        if (heightInAlpha) {
          EXPECT_EQ(p[3], 100);
        }
      }
    }
  }
}

TEST_F(TextureControllers, ARampTiltsTheNormalsAgainstItAndWrapsAtTheEdge) {
  // Heights rise by 16 a column: n = (4(-16/255), 0, 1) normalised inside,
  // and the last column looks back at the first one (+48).
  Ref<Texture> texture = HeightTexture(4, 2, [](uint32_t x, uint32_t) -> uint8_t { return 16 * x; });
  Ref<NormalmapTextureController> controller(new NormalmapTextureController(String()));
  controller->SetBumpCoefficient(4.0f);
  ASSERT_EQ(texture->AttachController(controller.Get()), kOk);
  texture->Update(0.0);
  const uint8_t* inside = Pixel(*texture, 1, 0);
  EXPECT_EQ(inside[0], 97);
  EXPECT_EQ(inside[1], 128);
  EXPECT_EQ(inside[2], 251);
  const uint8_t* edge = Pixel(*texture, 3, 1);
  EXPECT_EQ(edge[0], 204);
  EXPECT_EQ(edge[1], 128);
  EXPECT_EQ(edge[2], 229);
  // A rise along the rows tilts y the same way.
  Ref<Texture> rows = HeightTexture(2, 4, [](uint32_t, uint32_t y) -> uint8_t { return 16 * y; });
  Ref<NormalmapTextureController> second(new NormalmapTextureController(String()));
  second->SetBumpCoefficient(4.0f);
  ASSERT_EQ(rows->AttachController(second.Get()), kOk);
  rows->Update(0.0);
  EXPECT_EQ(Pixel(*rows, 0, 1)[0], 128);
  EXPECT_EQ(Pixel(*rows, 0, 1)[1], 97);
}

TEST_F(TextureControllers, TheyRunOnceAndOnlyOnImagesTheyCanMake) {
  // Not a height image: left alone, and done.
  Ref<Image> colour(new Image(String(), kImageRGB8, 2, 2));
  std::memset(colour->EditPixels(), 7, 12);
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(colour.Get());
  Ref<NormalmapTextureController> normals(new NormalmapTextureController(String()));
  ASSERT_EQ(texture->AttachController(normals.Get()), kOk);
  texture->Update(0.0);
  EXPECT_TRUE(normals->IsDone());
  EXPECT_EQ(colour->GetFormat(), kImageRGB8);
  EXPECT_EQ(colour->GetPixels()[5], 7);

  // A Fresnel ramp reached through the texture effect's update; written
  // once: pixels changed afterwards stay changed.
  Ref<Image> ramp(new Image(String(), kImageRGB8, 8, 2));
  Ref<Texture> fresnelTexture(new Texture(String("fresnel")));
  fresnelTexture->SetImage(ramp.Get());
  Ref<FresnelTextureController> fresnel(new FresnelTextureController(String()));
  ASSERT_EQ(fresnelTexture->AttachController(fresnel.Get()), kOk);
  Ref<TextureEffect> effect(new TextureEffect(String("water")));
  effect->SetTexture(fresnelTexture.Get());
  effect->Update(0.02);
  ASSERT_TRUE(fresnel->IsDone());
  ramp->EditPixels()[0] = 1;
  effect->Update(0.02);
  EXPECT_EQ(ramp->GetPixels()[0], 1);
  fresnel->Reset();
  effect->Update(0.02);
  EXPECT_EQ(ramp->GetPixels()[0], 255);
}

TEST_F(TextureControllers, TheFresnelRampFallsFromOneToF0AcrossTheWidth) {
  Ref<Image> ramp(new Image(String(), kImageRGBA8, 8, 3));
  Ref<Texture> texture(new Texture(String()));
  texture->SetImage(ramp.Get());
  Ref<FresnelTextureController> fresnel(new FresnelTextureController(String()));
  fresnel->SetIndices(1.0f, 1.333f);  // F0 = (0.333 / 2.333)^2 = 0.0204
  ASSERT_EQ(texture->AttachController(fresnel.Get()), kOk);
  texture->Update(0.0);
  const uint8_t* row = ramp->GetPixels();
  EXPECT_EQ(row[0], 255);          // head-on... at column 0, F = 1
  EXPECT_EQ(row[4], 133);          // (7/8)^5: F = 0.0204 + 0.9796 * 0.5129
  EXPECT_EQ(row[7 * 4], 5);        // near F0 at the last column
  for (uint32_t j = 1; j < 8; ++j) EXPECT_LE(row[j * 4], row[(j - 1) * 4]);
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t i = 0; i < 8 * 4; ++i) EXPECT_EQ(ramp->GetPixels()[y * 32 + i], row[i / 4 * 4]);
  }
}

TEST_F(TextureControllers, SettingsSurviveSaveAndLoad) {
  Ref<Texture> texture(new Texture(String("tex")));
  Ref<NormalmapTextureController> normals(new NormalmapTextureController(String("n")));
  normals->SetBumpCoefficient(2.5f);
  normals->SetKeepHeightInAlpha(true);
  Ref<FresnelTextureController> fresnel(new FresnelTextureController(String("f")));
  fresnel->SetIndices(1.0f, 1.5f);
  ASSERT_EQ(texture->AttachController(normals.Get()), kOk);
  ASSERT_EQ(texture->AttachController(fresnel.Get()), kOk);
  MemoryStream stream(1024, 1024);
  ASSERT_EQ(stream.WriteObject(texture.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<Texture> copy(DynamicCast<Texture>(loaded));
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->GetControllerCount(), 2);
  NormalmapTextureController* n = nullptr;
  FresnelTextureController* f = nullptr;
  for (int32_t i = 0; i < 2; ++i) {
    if (auto* c = DynamicCast<NormalmapTextureController>(copy->GetController(i))) n = c;
    if (auto* c = DynamicCast<FresnelTextureController>(copy->GetController(i))) f = c;
  }
  ASSERT_NE(n, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_FLOAT_EQ(n->GetBumpCoefficient(), 2.5f);
  EXPECT_TRUE(n->KeepsHeightInAlpha());
  EXPECT_FLOAT_EQ(f->GetFirstIndex(), 1.0f);
  EXPECT_FLOAT_EQ(f->GetSecondIndex(), 1.5f);
  // A stream cut inside the settings is refused with its line.
  for (int32_t cut : {stream.GetPosition() - 1, stream.GetPosition() - 5}) {
    MemoryStream shorter(cut, 1);
    ASSERT_EQ(shorter.Write(stream.GetBuffer(), cut), kOk);
    shorter.SetPosition(0);
    Object* broken = nullptr;
    EXPECT_NE(shorter.ReadObject(broken), kOk);
    Ref<Object> drop(broken);
  }
}

}  // namespace
}  // namespace klx
