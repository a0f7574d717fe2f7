// The device layer on OpenGL, drawn headless on llvmpipe and read back:
// orientation and pixel centres, clears, primitives, indices, culling,
// depth, blending, alpha test, stencil, textures and their formats, mip
// chains, texture stages, lighting, fog, render targets, depth textures,
// occlusion queries, state blocks and the lost state.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "device/d3d_types.h"
#include "gl/gl_translate.h"
#include "gl/mip_chain.h"
#include "support/gl_device_fixture.h"

namespace klx {
namespace {

using d3d::ColorArgb;
using test::GlDeviceTest;
using test::Near;
using test::Rgba;

constexpr uint32_t kRed = ColorArgb(255, 255, 0, 0);
constexpr uint32_t kGreen = ColorArgb(255, 0, 255, 0);
constexpr uint32_t kBlue = ColorArgb(255, 0, 0, 255);
constexpr uint32_t kWhite = ColorArgb(255, 255, 255, 255);
constexpr uint32_t kBlack = ColorArgb(255, 0, 0, 0);

using DeviceBasics = GlDeviceTest;

TEST_F(DeviceBasics, ClearsTheViewportOnly) {
  device_->Clear(d3d::kClearTarget | d3d::kClearZBuffer, kBlue, 1.0f, 0);
  EXPECT_EQ(Pixel(0, 0), (Rgba{0, 0, 255, 255}));
  d3d::Viewport viewport{8, 4, 16, 8, 0, 1};
  device_->SetViewport(viewport);
  device_->Clear(d3d::kClearTarget, kRed, 1.0f, 0);
  EXPECT_EQ(Pixel(8, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(23, 11), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(24, 11), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(Pixel(7, 4), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(Pixel(8, 12), (Rgba{0, 0, 255, 255}));
  EXPECT_FALSE(device_->ReadPixels(60, 60, 8, 8, nullptr));
}

TEST_F(DeviceBasics, RowsAreTopFirstAndPixelCentresSitOnIntegers) {
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  PlainStates();
  // The top half of the screen in clip space (y > 0) is rows 0..31.
  Draw(d3d::kPtTriangleList, Quad(0, 0, kWidth, kHeight / 2, 0.5f, kRed), 2);
  EXPECT_EQ(Pixel(10, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(10, 31), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(10, 32), (Rgba{0, 0, 0, 255}));
  // A quad over [3.5, 5.5) x [7.5, 9.5) covers the pixels whose centres lie
  // inside: with centres on integers, columns 4 and 5 and rows 8 and 9.
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(3.5f, 7.5f, 5.5f, 9.5f, 0.5f, kGreen), 2);
  for (uint32_t y = 6; y < 12; ++y) {
    for (uint32_t x = 2; x < 8; ++x) {
      const bool inside = x >= 4 && x <= 5 && y >= 8 && y <= 9;
      EXPECT_EQ(Pixel(x, y).g, inside ? 255 : 0) << x << ", " << y;
    }
  }
}

TEST_F(DeviceBasics, EveryPrimitiveTypeIndexedOrNot) {
  PlainStates();
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  // Lines along row 20 (list) and column 40 (strip of two segments).
  const test::TestVertex l0{GlDeviceTest::ClipX(2), GlDeviceTest::ClipY(20), 0.5f, 0, 0, -1, kRed, 0, 0};
  const test::TestVertex l1{GlDeviceTest::ClipX(30), GlDeviceTest::ClipY(20), 0.5f, 0, 0, -1, kRed, 0, 0};
  Draw(d3d::kPtLineList, {l0, l1}, 1);
  EXPECT_EQ(Pixel(15, 20), (Rgba{255, 0, 0, 255}));
  const test::TestVertex s0{GlDeviceTest::ClipX(40), GlDeviceTest::ClipY(2), 0.5f, 0, 0, -1, kGreen, 0, 0};
  const test::TestVertex s1{GlDeviceTest::ClipX(40), GlDeviceTest::ClipY(10), 0.5f, 0, 0, -1, kGreen, 0, 0};
  const test::TestVertex s2{GlDeviceTest::ClipX(40), GlDeviceTest::ClipY(30), 0.5f, 0, 0, -1, kGreen, 0, 0};
  Draw(d3d::kPtLineStrip, {s0, s1, s2}, 2);
  EXPECT_EQ(Pixel(40, 5), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(Pixel(40, 25), (Rgba{0, 255, 0, 255}));

  // A strip quad, then an indexed quad with 16- and 32-bit indices.
  std::vector<test::TestVertex> quad = Quad(0, 40, 16, 56, 0.5f, kBlue);
  Draw(d3d::kPtTriangleStrip, {quad[0], quad[1], quad[5], quad[2]}, 2);
  EXPECT_EQ(Pixel(8, 48), (Rgba{0, 0, 255, 255}));
  const std::vector<test::TestVertex> corners = {quad[0], quad[1], quad[2], quad[5]};
  for (bool wide : {false, true}) {
    device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
    DrawIndexed(d3d::kPtTriangleList, corners, {0, 1, 2, 0, 2, 3}, wide, 2);
    EXPECT_EQ(Pixel(3, 43), (Rgba{0, 0, 255, 255})) << wide;
    EXPECT_EQ(Pixel(12, 53), (Rgba{0, 0, 255, 255})) << wide;
    EXPECT_EQ(Pixel(20, 48), (Rgba{0, 0, 0, 255})) << wide;
  }
  // Indices past the end of the buffer draw nothing rather than read past it.
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  DrawIndexed(d3d::kPtTriangleList, corners, {0, 1, 2}, false, 2);
  EXPECT_EQ(Pixel(12, 53), (Rgba{0, 0, 0, 255}));
}

TEST_F(DeviceBasics, CullModesAsSeenOnScreen) {
  PlainStates();
  const std::vector<test::TestVertex> clockwise = Quad(0, 0, 32, 32, 0.5f, kRed);
  std::vector<test::TestVertex> counter = Quad(32, 0, 64, 32, 0.5f, kGreen);
  std::swap(counter[1], counter[2]);
  std::swap(counter[4], counter[5]);
  const struct {
    uint32_t mode;
    bool clockwiseDrawn, counterDrawn;
  } cases[] = {{d3d::kCullCcw, true, false}, {d3d::kCullCw, false, true}, {d3d::kCullNone, true, true}};
  for (const auto& c : cases) {
    device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
    device_->SetRenderState(d3d::kRsCullMode, c.mode);
    Draw(d3d::kPtTriangleList, clockwise, 2);
    Draw(d3d::kPtTriangleList, counter, 2);
    EXPECT_EQ(Pixel(16, 16).r == 255, c.clockwiseDrawn) << c.mode;
    EXPECT_EQ(Pixel(48, 16).g == 255, c.counterDrawn) << c.mode;
  }
}

TEST_F(DeviceBasics, DepthTestAndWrite) {
  PlainStates();
  device_->SetRenderState(d3d::kRsZEnable, 1);
  device_->Clear(d3d::kClearTarget | d3d::kClearZBuffer, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.25f, kRed), 2);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.75f, kGreen), 2);  // behind: hidden
  EXPECT_EQ(Pixel(10, 10), (Rgba{255, 0, 0, 255}));
  device_->SetRenderState(d3d::kRsZFunc, d3d::kCmpGreater);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.75f, kGreen), 2);
  EXPECT_EQ(Pixel(10, 10), (Rgba{0, 255, 0, 255}));
  // Depth 0..1 is the whole Direct3D range: z = 0 and z = 1 both draw
  // against a cleared buffer of 1 with less-equal.
  device_->SetRenderState(d3d::kRsZFunc, d3d::kCmpLessEqual);
  device_->Clear(d3d::kClearTarget | d3d::kClearZBuffer, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.0f, kBlue), 2);
  Draw(d3d::kPtTriangleList, Quad(16, 0, 32, 16, 1.0f, kBlue), 2);
  EXPECT_EQ(Pixel(8, 8), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(Pixel(24, 8), (Rgba{0, 0, 255, 255}));
  // A depth bias toward the viewer lets a coplanar quad through a strict
  // less-than test.
  device_->Clear(d3d::kClearTarget | d3d::kClearZBuffer, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kRed), 2);
  device_->SetRenderState(d3d::kRsZFunc, d3d::kCmpLess);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kGreen), 2);
  EXPECT_EQ(Pixel(10, 10), (Rgba{255, 0, 0, 255}));
  device_->SetRenderState(d3d::kRsDepthBias, d3d::FloatBits(-16.0f / 16777216.0f));
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kGreen), 2);
  EXPECT_EQ(Pixel(10, 10), (Rgba{0, 255, 0, 255}));
  device_->SetRenderState(d3d::kRsDepthBias, 0);
  device_->SetRenderState(d3d::kRsZFunc, d3d::kCmpLessEqual);
  // Without depth writes the second quad is not hidden by the first.
  device_->Clear(d3d::kClearTarget | d3d::kClearZBuffer, kBlack, 1.0f, 0);
  device_->SetRenderState(d3d::kRsZWriteEnable, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.25f, kRed), 2);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.75f, kGreen), 2);
  EXPECT_EQ(Pixel(10, 10), (Rgba{0, 255, 0, 255}));
}

TEST_F(DeviceBasics, BlendingAlphaTestAndStencil) {
  PlainStates();
  device_->Clear(d3d::kClearTarget | d3d::kClearStencil, ColorArgb(255, 0, 0, 200), 1.0f, 0);
  device_->SetRenderState(d3d::kRsAlphaBlendEnable, 1);
  device_->SetRenderState(d3d::kRsSrcBlend, d3d::kBlendSrcAlpha);
  device_->SetRenderState(d3d::kRsDestBlend, d3d::kBlendInvSrcAlpha);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, ColorArgb(128, 255, 0, 0)), 2);
  EXPECT_TRUE(Near(Pixel(8, 8), Rgba{128, 0, 100, 191}, 2));
  device_->SetRenderState(d3d::kRsAlphaBlendEnable, 0);

  // Alpha test: greater-equal 128 keeps alpha 128, drops 127.
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  device_->SetRenderState(d3d::kRsAlphaTestEnable, 1);
  device_->SetRenderState(d3d::kRsAlphaFunc, d3d::kCmpGreaterEqual);
  device_->SetRenderState(d3d::kRsAlphaRef, 128);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, ColorArgb(128, 255, 255, 255)), 2);
  Draw(d3d::kPtTriangleList, Quad(16, 0, 32, 16, 0.5f, ColorArgb(127, 255, 255, 255)), 2);
  EXPECT_EQ(Pixel(8, 8).r, 255);
  EXPECT_EQ(Pixel(24, 8).r, 0);
  device_->SetRenderState(d3d::kRsAlphaTestEnable, 0);

  // Stencil: a quad writes 1 where it lands; a full-screen quad then draws
  // only where the stencil equals 1.
  device_->Clear(d3d::kClearTarget | d3d::kClearStencil, kBlack, 1.0f, 0);
  device_->SetRenderState(d3d::kRsStencilEnable, 1);
  device_->SetRenderState(d3d::kRsStencilFunc, d3d::kCmpAlways);
  device_->SetRenderState(d3d::kRsStencilRef, 1);
  device_->SetRenderState(d3d::kRsStencilPass, d3d::kStencilReplace);
  device_->SetRenderState(d3d::kRsColorWriteEnable, 0);
  Draw(d3d::kPtTriangleList, Quad(10, 10, 20, 20, 0.5f, kRed), 2);
  device_->SetRenderState(d3d::kRsColorWriteEnable, 0xF);
  device_->SetRenderState(d3d::kRsStencilFunc, d3d::kCmpEqual);
  device_->SetRenderState(d3d::kRsStencilPass, d3d::kStencilKeep);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 64, 64, 0.5f, kGreen), 2);
  EXPECT_EQ(Pixel(15, 15), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(Pixel(5, 5), (Rgba{0, 0, 0, 255}));

  // Two-sided stencil: clockwise and counter-clockwise faces take their own
  // operations.
  device_->Clear(d3d::kClearTarget | d3d::kClearStencil, kBlack, 1.0f, 0);
  device_->SetRenderState(d3d::kRsTwoSidedStencilMode, 1);
  device_->SetRenderState(d3d::kRsStencilFunc, d3d::kCmpAlways);
  device_->SetRenderState(d3d::kRsStencilPass, d3d::kStencilReplace);
  device_->SetRenderState(d3d::kRsCcwStencilFunc, d3d::kCmpAlways);
  device_->SetRenderState(d3d::kRsCcwStencilPass, d3d::kStencilKeep);
  std::vector<test::TestVertex> counter = Quad(32, 0, 64, 32, 0.5f, kRed);
  std::swap(counter[1], counter[2]);
  std::swap(counter[4], counter[5]);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kRed), 2);  // clockwise: writes 1
  Draw(d3d::kPtTriangleList, counter, 2);                          // counter-clockwise: keeps 0
  device_->SetRenderState(d3d::kRsTwoSidedStencilMode, 0);
  device_->SetRenderState(d3d::kRsStencilFunc, d3d::kCmpEqual);
  device_->SetRenderState(d3d::kRsStencilPass, d3d::kStencilKeep);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 64, 64, 0.5f, kBlue), 2);
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(Pixel(48, 16), (Rgba{255, 0, 0, 255}));
}

// -- textures ------------------------------------------------------------------

class DeviceTextures : public GlDeviceTest {
 protected:
  // Stage 0 shows the texture alone.
  void TextureStates() {
    PlainStates();
    device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
    device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaTexture);
    device_->SetTextureStageState(0, d3d::kTssAlphaOp, d3d::kTopSelectArg1);
    device_->SetTextureStageState(0, d3d::kTssAlphaArg1, d3d::kTaTexture);
  }
};

TEST_F(DeviceTextures, FormatsRowsTopFirstAndPointSampling) {
  TextureStates();
  // 2x2 texels, Direct3D memory order B, G, R, A: red, green / blue, white.
  const uint8_t argb[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 128, 255, 255, 255, 255};
  auto texture = device_->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
  ASSERT_NE(texture, nullptr);
  ASSERT_TRUE(texture->WriteLevel(0, 0, argb, 8, 0));
  device_->SetTexture(0, texture.get());
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kWhite), 2);
  EXPECT_EQ(Pixel(4, 4), (Rgba{255, 0, 0, 255}));     // v = 0 is the first row
  EXPECT_EQ(Pixel(28, 4), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(Pixel(4, 28), (Rgba{0, 0, 255, 128}));
  EXPECT_EQ(Pixel(28, 28), (Rgba{255, 255, 255, 255}));

  // X8R8G8B8 samples alpha 1 whatever the byte says; A8 is (0, 0, 0, a).
  auto opaque = device_->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtX8R8G8B8);
  ASSERT_TRUE(opaque->WriteLevel(0, 0, argb, 8, 0));
  device_->SetTexture(0, opaque.get());
  Draw(d3d::kPtTriangleList, Quad(32, 0, 64, 32, 0.5f, kWhite), 2);
  EXPECT_EQ(Pixel(36, 28), (Rgba{0, 0, 255, 255}));
  const uint8_t alphas[4] = {10, 20, 30, 40};
  auto alpha = device_->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtA8);
  ASSERT_TRUE(alpha->WriteLevel(0, 0, alphas, 2, 0));
  device_->SetTexture(0, alpha.get());
  Draw(d3d::kPtTriangleList, Quad(0, 32, 32, 64, 0.5f, kWhite), 2);
  EXPECT_EQ(Pixel(28, 60), (Rgba{0, 0, 0, 40}));
  // Half floats: 0.5 in every channel.
  const uint16_t half = 0x3800;
  const uint16_t halves[16] = {half, half, half, half, half, half, half, half,
                               half, half, half, half, half, half, half, half};
  auto floats = device_->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtA16B16G16R16F);
  ASSERT_NE(floats, nullptr);
  ASSERT_TRUE(floats->WriteLevel(0, 0, halves, 16, 0));
  device_->SetTexture(0, floats.get());
  Draw(d3d::kPtTriangleList, Quad(32, 32, 64, 64, 0.5f, kWhite), 2);
  EXPECT_TRUE(Near(Pixel(40, 40), Rgba{128, 128, 128, 128}, 1));
  // Bad writes are refused.
  EXPECT_FALSE(texture->WriteLevel(0, 1, argb, 8, 0));
  EXPECT_FALSE(texture->WriteLevel(1, 0, argb, 8, 0));
  EXPECT_FALSE(texture->WriteLevel(0, 0, argb, 4, 0));
  EXPECT_EQ(device_->CreateTexture(0, 4, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8), nullptr);
  EXPECT_EQ(device_->CreateTexture(4, 4, 1, d3d::kUsageNone, d3d::kFmtD24S8), nullptr);
}

TEST_F(DeviceTextures, TheBoxFilteredMipChainIsSampled) {
  TextureStates();
  // 4x4: left half black, right half white; level 2 (1x1) is mid grey.
  std::vector<uint8_t> texels(4 * 4 * 4);
  for (uint32_t y = 0; y < 4; ++y) {
    for (uint32_t x = 0; x < 4; ++x) {
      const uint8_t value = x < 2 ? 0 : 255;
      uint8_t* texel = &texels[(y * 4 + x) * 4];
      texel[0] = texel[1] = texel[2] = value;
      texel[3] = 255;
    }
  }
  auto texture = device_->CreateTexture(4, 4, 0, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->GetLevelCount(), 3u);
  ASSERT_TRUE(texture->WriteLevel(0, 0, texels.data(), 16, 0));
  ASSERT_TRUE(texture->GenerateMipChain());
  device_->SetTexture(0, texture.get());
  device_->SetSamplerState(0, d3d::kSampMipFilter, d3d::kTexfPoint);
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  // One pixel for the whole texture: the smallest level.
  Draw(d3d::kPtTriangleList, Quad(10, 10, 11, 11, 0.5f, kWhite), 2);
  EXPECT_TRUE(Near(Pixel(10, 10), Rgba{128, 128, 128, 255}, 1));

  // The filter itself: an odd edge repeats its last texel.
  std::vector<uint8_t> next;
  const uint8_t row[3] = {0, 90, 30};
  ASSERT_TRUE(d3d::DownsampleLevel(d3d::kFmtA8, row, 3, 1, 1, &next));
  EXPECT_EQ(next, (std::vector<uint8_t>{45}));
  EXPECT_EQ(d3d::FullMipLevelCount(256, 64, 1), 9u);
  EXPECT_FALSE(d3d::DownsampleLevel(d3d::kFmtD24S8, row, 3, 1, 1, &next));
}

// A linear mip filter blends two levels in hardware; a software rasterizer
// takes the nearer level alone, at about half the texture work.
TEST_F(DeviceTextures, ALinearMipFilterBlendsLevelsExceptOnASoftwareRasterizer) {
  EXPECT_TRUE(d3d::IsSoftwareRasterizer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(d3d::IsSoftwareRasterizer("Software Rasterizer"));
  EXPECT_FALSE(d3d::IsSoftwareRasterizer("NVIDIA GeForce GTX 1050/PCIe/SSE2"));
  TextureStates();
  // Level 0 red, level 1 blue; a bias of 0.3 samples between them.
  auto texture = device_->CreateTexture(4, 4, 2, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
  ASSERT_NE(texture, nullptr);
  const std::vector<uint8_t> red = [] {
    std::vector<uint8_t> t(4 * 4 * 4);
    for (size_t i = 0; i < t.size(); i += 4) t[i + 2] = t[i + 3] = 255;  // B, G, R, A
    return t;
  }();
  const uint8_t blue[16] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
  ASSERT_TRUE(texture->WriteLevel(0, 0, red.data(), 16, 0));
  ASSERT_TRUE(texture->WriteLevel(0, 1, blue, 8, 0));
  device_->SetTexture(0, texture.get());
  device_->SetSamplerState(0, d3d::kSampMipFilter, d3d::kTexfLinear);
  device_->SetSamplerState(0, d3d::kSampMipMapLodBias, d3d::FloatBits(0.3f));
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(10, 10, 14, 14, 0.5f, kWhite), 2);
  if (d3d::IsSoftwareRasterizer(device_->GetDescription())) {
    EXPECT_TRUE(Near(Pixel(12, 12), Rgba{255, 0, 0, 255}, 2));
  } else {
    EXPECT_TRUE(Near(Pixel(12, 12), Rgba{178, 0, 77, 255}, 8));
  }
}

TEST_F(DeviceTextures, StageOperationsFactorAndCoordinateIndex) {
  PlainStates();
  const uint8_t grey[4] = {128, 128, 128, 255};  // B, G, R, A
  auto texture = device_->CreateTexture(1, 1, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
  ASSERT_TRUE(texture->WriteLevel(0, 0, grey, 4, 0));
  device_->SetTexture(0, texture.get());
  device_->SetRenderState(d3d::kRsTextureFactor, ColorArgb(255, 0, 0, 255));
  const struct {
    uint32_t op, arg1, arg2;
    Rgba expected;
  } cases[] = {
      {d3d::kTopModulate, d3d::kTaTexture, d3d::kTaDiffuse, {128, 64, 0, 255}},
      {d3d::kTopModulate2x, d3d::kTaTexture, d3d::kTaDiffuse, {255, 128, 0, 255}},
      {d3d::kTopAdd, d3d::kTaTexture, d3d::kTaDiffuse, {255, 255, 128, 255}},
      {d3d::kTopSubtract, d3d::kTaDiffuse, d3d::kTaTexture, {127, 0, 0, 255}},
      {d3d::kTopSelectArg2, d3d::kTaTexture, d3d::kTaTFactor, {0, 0, 255, 255}},
      {d3d::kTopSelectArg1, d3d::kTaTexture | d3d::kTaComplement, 0, {127, 127, 127, 255}},
      {d3d::kTopBlendFactorAlpha, d3d::kTaTFactor, d3d::kTaDiffuse, {0, 0, 255, 255}},
      // arg1 + arg2 - 0.5
      {d3d::kTopAddSigned, d3d::kTaTexture, d3d::kTaDiffuse, {255, 128, 0, 255}},
      // blended by the texture's alpha (opaque): all argument 1
      {d3d::kTopBlendTextureAlpha, d3d::kTaTFactor, d3d::kTaDiffuse, {0, 0, 255, 255}},
      // the diffuse alpha (opaque) replicated into the colour
      {d3d::kTopSelectArg1, d3d::kTaDiffuse | d3d::kTaAlphaReplicate, 0, {255, 255, 255, 255}},
      // 4 (texture - 0.5).(diffuse - 0.5), replicated into alpha as well
      {d3d::kTopDotProduct3, d3d::kTaTexture, d3d::kTaDiffuse, {0, 0, 0, 0}},
  };
  const uint32_t diffuse = ColorArgb(255, 255, 128, 0);
  for (const auto& c : cases) {
    device_->SetTextureStageState(0, d3d::kTssColorOp, c.op);
    device_->SetTextureStageState(0, d3d::kTssColorArg1, c.arg1);
    device_->SetTextureStageState(0, d3d::kTssColorArg2, c.arg2);
    device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
    Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, diffuse), 2);
    EXPECT_TRUE(Near(Pixel(8, 8), c.expected)) << "operation " << c.op;
  }
  // Lerp: arg0 * arg1 + (1 - arg0) * arg2 with arg0 = the texture (grey).
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopLerp);
  device_->SetTextureStageState(0, d3d::kTssColorArg0, d3d::kTaTexture);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaTFactor);
  device_->SetTextureStageState(0, d3d::kTssColorArg2, d3d::kTaDiffuse);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, diffuse), 2);
  EXPECT_TRUE(Near(Pixel(8, 8), Rgba{127, 64, 128, 255}));

  // A second stage adds the factor to the first stage's result.
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaDiffuse);
  device_->SetTextureStageState(1, d3d::kTssColorOp, d3d::kTopAdd);
  device_->SetTextureStageState(1, d3d::kTssColorArg1, d3d::kTaCurrent);
  device_->SetTextureStageState(1, d3d::kTssColorArg2, d3d::kTaTFactor);
  device_->SetTextureStageState(1, d3d::kTssAlphaOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(1, d3d::kTssAlphaArg1, d3d::kTaCurrent);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, diffuse), 2);
  EXPECT_TRUE(Near(Pixel(8, 8), Rgba{255, 128, 255, 255}));
}

TEST_F(DeviceTextures, RenderToTextureAndToACubeFaceThenSample) {
  auto target = device_->CreateTexture(16, 16, 1, d3d::kUsageRenderTarget, d3d::kFmtA8R8G8B8);
  ASSERT_NE(target, nullptr);
  EXPECT_FALSE(target->WriteLevel(0, 0, "xxxx", 4, 0));  // render targets take no uploads
  ASSERT_TRUE(device_->SetRenderTarget(target.get(), 0));
  EXPECT_EQ(device_->GetTargetWidth(), 16u);
  EXPECT_EQ(device_->GetViewport().width, 16u);
  PlainStates();
  device_->Clear(d3d::kClearTarget, kBlue, 1.0f, 0);
  // Red over the top quarter of the target (Direct3D rows 0..3).
  std::vector<test::TestVertex> strip = Quad(0, 0, kWidth, kHeight / 4, 0.5f, kRed);
  Draw(d3d::kPtTriangleList, strip, 2);
  EXPECT_EQ(Pixel(8, 1), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(8, 8), (Rgba{0, 0, 255, 255}));
  ASSERT_TRUE(device_->SetRenderTarget(nullptr, 0));
  EXPECT_EQ(device_->GetTargetWidth(), static_cast<uint32_t>(kWidth));

  // Sampled with v = 0 at the top, the red strip stays at the top.
  device_->SetTexture(0, target.get());
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaTexture);
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 64, 64, 0.5f, kWhite), 2);
  EXPECT_EQ(Pixel(32, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(32, 40), (Rgba{0, 0, 255, 255}));

  // A cube face as target, then sampled through a direction.
  auto cube = device_->CreateCubeTexture(8, 1, d3d::kUsageRenderTarget, d3d::kFmtA8R8G8B8);
  ASSERT_NE(cube, nullptr);
  for (uint32_t face = 0; face < 6; ++face) {
    ASSERT_TRUE(device_->SetRenderTarget(cube.get(), face));
    device_->Clear(d3d::kClearTarget, face == d3d::kCubePositiveZ ? kGreen : kRed, 1.0f, 0);
  }
  ASSERT_TRUE(device_->SetRenderTarget(nullptr, 0));
  EXPECT_FALSE(device_->SetRenderTarget(cube.get(), 6));
  auto cubeDeclaration = device_->CreateVertexDeclaration({
      {0, 0, d3d::kDeclFloat3, d3d::kUsagePosition, 0},
      {0, 12, d3d::kDeclFloat3, d3d::kUsageTexCoord, 0},
  });
  const float vertices[] = {-1, 1, 0.5f, 0, 0, 1, 1, 1, 0.5f, 0, 0, 1, 1, -1, 0.5f, 0, 0, 1,
                            -1, 1, 0.5f, 0, 0, 1, 1, -1, 0.5f, 0, 0, 1, -1, -1, 0.5f, 0, 0, 1};
  auto buffer = device_->CreateVertexBuffer(sizeof vertices);
  buffer->Write(0, vertices, sizeof vertices);
  device_->SetVertexDeclaration(cubeDeclaration.get());
  device_->SetStreamSource(0, buffer.get(), 0, 24);
  device_->SetTexture(0, cube.get());
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  device_->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
  EXPECT_EQ(Pixel(32, 32), (Rgba{0, 255, 0, 255}));
}

TEST_F(DeviceTextures, DepthTexturesCompareAgainstTheReference) {
  ASSERT_TRUE(device_->GetCaps().depthTextures);
  auto depth = device_->CreateTexture(32, 32, 1, d3d::kUsageDepthStencil, device_->GetDepthStencilFormat());
  ASSERT_NE(depth, nullptr);
  PlainStates();
  // Depth 0.5 over the left half of the map only.
  ASSERT_TRUE(device_->SetDepthStencilTexture(depth.get()));
  device_->SetRenderState(d3d::kRsZEnable, 1);
  device_->Clear(d3d::kClearZBuffer, kBlack, 1.0f, 0);
  device_->SetRenderState(d3d::kRsColorWriteEnable, 0);
  d3d::Viewport map{0, 0, 32, 32, 0, 1};
  device_->SetViewport(map);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 64, 0.5f, kWhite), 2);
  device_->SetRenderState(d3d::kRsColorWriteEnable, 0xF);
  ASSERT_TRUE(device_->SetDepthStencilTexture(nullptr));
  device_->SetRenderState(d3d::kRsZEnable, 0);
  d3d::Viewport full{0, 0, kWidth, kHeight, 0, 1};
  device_->SetViewport(full);

  // Sampled with reference depth 0.4 (passes everywhere) and 0.6 (passes
  // only where nothing was drawn).
  auto declaration = device_->CreateVertexDeclaration({
      {0, 0, d3d::kDeclFloat3, d3d::kUsagePosition, 0},
      {0, 12, d3d::kDeclFloat3, d3d::kUsageTexCoord, 0},
  });
  device_->SetVertexDeclaration(declaration.get());
  device_->SetTexture(0, depth.get());
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaTexture);
  for (float reference : {0.4f, 0.6f}) {
    const float v[] = {-1, 1, 0.5f, 0, 0, reference, 1, 1, 0.5f, 1, 0, reference, 1, -1, 0.5f, 1, 1, reference,
                       -1, 1, 0.5f, 0, 0, reference, 1, -1, 0.5f, 1, 1, reference, -1, -1, 0.5f, 0, 1, reference};
    auto buffer = device_->CreateVertexBuffer(sizeof v);
    buffer->Write(0, v, sizeof v);
    device_->SetStreamSource(0, buffer.get(), 0, 24);
    device_->Clear(d3d::kClearTarget, kBlue, 1.0f, 0);
    device_->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
    EXPECT_EQ(Pixel(8, 32).r, reference < 0.5f ? 255 : 0) << reference;
    EXPECT_EQ(Pixel(56, 32).r, 255) << reference;
  }
}

class DeviceTextureCoordinates : public DeviceTextures {
 protected:
  // Red, green / blue, white.
  void BindQuadTexture() {
    const uint8_t texels[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
    texture_ = device_->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
    ASSERT_TRUE(texture_->WriteLevel(0, 0, texels, 8, 0));
    device_->SetTexture(0, texture_.get());
  }
  std::unique_ptr<d3d::BaseTexture> texture_;
};

TEST_F(DeviceTextureCoordinates, PointSpritesCountFromTheTopLeft) {
  TextureStates();
  BindQuadTexture();
  device_->SetRenderState(d3d::kRsPointSpriteEnable, 1);
  device_->SetRenderState(d3d::kRsPointSize, d3d::FloatBits(8.0f));
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  const test::TestVertex point{GlDeviceTest::ClipX(20), GlDeviceTest::ClipY(20), 0.5f, 0, 0, -1, kWhite, 0, 0};
  Draw(d3d::kPtPointList, {point}, 1);
  EXPECT_EQ(Pixel(17, 17), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(22, 17), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(Pixel(17, 22), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(Pixel(16, 16).r, 255);  // the sprite covers 16..23
  EXPECT_EQ(Pixel(24, 20), (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(Pixel(15, 20), (Rgba{0, 0, 0, 255}));
}

TEST_F(DeviceTextureCoordinates, GeneratedCoordinatesThroughATextureTransform) {
  TextureStates();
  BindQuadTexture();
  // u = x / 2 + 1/2, v = -y / 2 + 1/2 of the camera-space position.
  d3d::Matrix transform;
  transform.m[0][0] = 0.5f;
  transform.m[1][1] = -0.5f;
  transform.m[3][0] = 0.5f;
  transform.m[3][1] = 0.5f;
  device_->SetTransform(d3d::kTsTexture0, transform);
  device_->SetTextureStageState(0, d3d::kTssTexCoordIndex, d3d::kTciCameraSpacePosition);
  device_->SetTextureStageState(0, d3d::kTssTextureTransformFlags, d3d::kTtffCount2);
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 64, 64, 0.5f, kWhite), 2);
  EXPECT_EQ(Pixel(8, 8), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(Pixel(56, 8), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(Pixel(8, 56), (Rgba{0, 0, 255, 255}));
  // The same transform on the vertex's own 2D coordinates: the third row
  // is the translation of a two-component input.
  device_->SetTextureStageState(0, d3d::kTssTexCoordIndex, 0);
  d3d::Matrix shift;
  shift.m[2][0] = 0.5f;  // u + 1/2
  device_->SetTransform(d3d::kTsTexture0, shift);
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 64, 64, 0.5f, kWhite, 0, 0, 0.5f, 0.5f), 2);
  EXPECT_EQ(Pixel(8, 8), (Rgba{0, 255, 0, 255}));
}

TEST_F(DeviceTextureCoordinates, VolumeTexturesBySlice) {
  TextureStates();
  // 2x2x2: the first slice red, the second green (B, G, R, A).
  std::vector<uint8_t> texels;
  for (int slice = 0; slice < 2; ++slice) {
    for (int i = 0; i < 4; ++i) {
      const uint8_t bgra[4] = {0, static_cast<uint8_t>(slice == 1 ? 255 : 0), static_cast<uint8_t>(slice == 0 ? 255 : 0), 255};
      texels.insert(texels.end(), bgra, bgra + 4);
    }
  }
  auto volume = device_->CreateVolumeTexture(2, 2, 2, 0, d3d::kFmtA8R8G8B8);
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ(volume->GetLevelCount(), 2u);
  ASSERT_TRUE(volume->WriteLevel(0, 0, texels.data(), 8, 16));
  ASSERT_TRUE(volume->GenerateMipChain());
  device_->SetTexture(0, volume.get());
  auto declaration = device_->CreateVertexDeclaration({
      {0, 0, d3d::kDeclFloat3, d3d::kUsagePosition, 0},
      {0, 12, d3d::kDeclFloat3, d3d::kUsageTexCoord, 0},
  });
  device_->SetVertexDeclaration(declaration.get());
  for (float w : {0.25f, 0.75f}) {
    const float v[] = {-1, 1, 0.5f, 0, 0, w, 1, 1, 0.5f, 1, 0, w, 1, -1, 0.5f, 1, 1, w,
                       -1, 1, 0.5f, 0, 0, w, 1, -1, 0.5f, 1, 1, w, -1, -1, 0.5f, 0, 1, w};
    auto buffer = device_->CreateVertexBuffer(sizeof v);
    buffer->Write(0, v, sizeof v);
    device_->SetStreamSource(0, buffer.get(), 0, 24);
    device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
    device_->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
    EXPECT_EQ(Pixel(32, 32), (w < 0.5f ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 255})) << w;
  }
  // The whole chain was filtered: the 1x1x1 level is the mean.
  EXPECT_EQ(device_->CreateVolumeTexture(0, 2, 2, 1, d3d::kFmtA8R8G8B8), nullptr);
}

// -- lighting, fog -------------------------------------------------------------

using DeviceShading = GlDeviceTest;

TEST_F(DeviceShading, DirectionalLightAndMaterialAsComputedByHand) {
  PlainStates();
  device_->SetRenderState(d3d::kRsLighting, 1);
  device_->SetRenderState(d3d::kRsAmbient, ColorArgb(255, 0, 0, 0));
  d3d::Material material;
  material.diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
  material.ambient = {0.2f, 0.2f, 0.2f, 1.0f};
  device_->SetMaterial(material);
  d3d::Light light;
  light.type = d3d::kLightDirectional;
  light.diffuse = {1, 1, 1, 1};
  light.ambient = {0.1f, 0.1f, 0.1f, 1};
  // The quad's normal is (0, 0, -1), facing the viewer; the light travels
  // at 60 degrees from it, so N.L = cos 60 = 0.5.
  light.direction = {std::sin(1.0471976f), 0, std::cos(1.0471976f)};
  device_->SetLight(0, light);
  device_->LightEnable(0, true);
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  // Vertex colours are ignored by lighting unless the source asks for them;
  // here the material's diffuse is used.
  device_->SetRenderState(d3d::kRsDiffuseMaterialSource, d3d::kMcsMaterial);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kGreen), 2);
  // colour = ambient(0.2 * 0.1) + diffuse * 0.5
  const auto channel = [](float diffuse) { return static_cast<int>(std::lround((0.02f + diffuse * 0.5f) * 255)); };
  EXPECT_TRUE(Near(Pixel(16, 16), Rgba{channel(1.0f), channel(0.5f), channel(0.25f), 255}, 2));
  // A light switched off leaves only the ambient term.
  device_->LightEnable(0, false);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kGreen), 2);
  EXPECT_TRUE(Near(Pixel(16, 16), Rgba{0, 0, 0, 255}, 1));
}

TEST_F(DeviceShading, FogModesByEyeDepth) {
  PlainStates();
  device_->SetRenderState(d3d::kRsFogEnable, 1);
  device_->SetRenderState(d3d::kRsFogColor, ColorArgb(255, 0, 0, 255));
  // An orthographic projection keeps z as the eye depth times 0.01, so a
  // quad at z = 0.5 sits 50 units away.
  d3d::Matrix view;
  view.m[2][2] = 100.0f;  // eye z = 100 * z
  d3d::Matrix projection;
  projection.m[2][2] = 0.01f;
  device_->SetTransform(d3d::kTsView, view);
  device_->SetTransform(d3d::kTsProjection, projection);
  const struct {
    uint32_t mode;
    float start, end, density;
    float fogFactor;  // the share of the surface colour
  } cases[] = {
      {d3d::kFogLinear, 0.0f, 100.0f, 0.0f, 0.5f},
      {d3d::kFogExp, 0, 0, 0.02f, std::exp(-1.0f)},
      {d3d::kFogExp2, 0, 0, 0.02f, std::exp(-1.0f)},
  };
  for (const auto& c : cases) {
    for (bool table : {false, true}) {
      device_->SetRenderState(table ? d3d::kRsFogTableMode : d3d::kRsFogVertexMode, c.mode);
      device_->SetRenderState(table ? d3d::kRsFogVertexMode : d3d::kRsFogTableMode, d3d::kFogNone);
      device_->SetRenderState(d3d::kRsFogStart, d3d::FloatBits(c.start));
      device_->SetRenderState(d3d::kRsFogEnd, d3d::FloatBits(c.end));
      device_->SetRenderState(d3d::kRsFogDensity, d3d::FloatBits(c.density));
      device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
      Draw(d3d::kPtTriangleList, Quad(0, 0, 32, 32, 0.5f, kRed), 2);
      const int red = static_cast<int>(std::lround(255 * c.fogFactor));
      EXPECT_TRUE(Near(Pixel(16, 16), Rgba{red, 0, 255 - red, 255}, 3)) << c.mode << " table " << table;
    }
  }
}

// -- queries, state blocks, lost state -------------------------------------------

using DeviceState = GlDeviceTest;

TEST_F(DeviceState, OcclusionQueryCountsSamples) {
  PlainStates();
  auto query = device_->CreateOcclusionQuery();
  ASSERT_NE(query, nullptr);
  uint32_t samples = 99;
  EXPECT_FALSE(query->GetResult(&samples, true));  // never issued
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  query->Begin();
  Draw(d3d::kPtTriangleList, Quad(0, 0, 10, 20, 0.5f, kRed), 2);
  query->End();
  ASSERT_TRUE(query->GetResult(&samples, true));
  EXPECT_EQ(samples, 200u);
}

TEST_F(DeviceState, ReplayingARecordedBlockDrawsAsSettingTheStates) {
  // Recording changes nothing until the block is applied.
  device_->BeginStateBlock();
  device_->SetRenderState(d3d::kRsLighting, 0);
  device_->SetRenderState(d3d::kRsCullMode, d3d::kCullNone);
  device_->SetRenderState(d3d::kRsZEnable, 0);
  device_->SetRenderState(d3d::kRsTextureFactor, ColorArgb(255, 10, 200, 30));
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaTFactor);
  device_->SetTextureStageState(0, d3d::kTssAlphaOp, d3d::kTopSelectArg1);
  device_->SetTextureStageState(0, d3d::kTssAlphaArg1, d3d::kTaTFactor);
  BindVertices(Quad(0, 0, 32, 32, 0.5f, kRed));
  std::unique_ptr<d3d::StateBlock> block = device_->EndStateBlock();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->GetSettingCount(), 10u);
  EXPECT_EQ(device_->GetRenderState(d3d::kRsLighting), 1u);
  EXPECT_EQ(device_->GetRenderState(d3d::kRsTextureFactor), 0xFFFFFFFFu);

  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  device_->ApplyStateBlock(*block);
  device_->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
  const Rgba replayed = Pixel(16, 16);
  EXPECT_EQ(replayed, (Rgba{10, 200, 30, 255}));

  // The same states set directly give the same pixels.
  device_->SetRenderState(d3d::kRsTextureFactor, 0);
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  device_->SetRenderState(d3d::kRsTextureFactor, ColorArgb(255, 10, 200, 30));
  device_->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
  EXPECT_EQ(Pixel(16, 16), replayed);

  // A buffer deleted after recording is not bound again by the block.
  buffers_.clear();
  device_->Clear(d3d::kClearTarget, kBlack, 1.0f, 0);
  device_->ApplyStateBlock(*block);
  device_->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
  EXPECT_EQ(Pixel(16, 16), (Rgba{0, 0, 0, 255}));
}

TEST_F(DeviceState, ObjectsMayOutliveTheirDevice) {
  auto texture = device_->CreateTexture(4, 4, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
  auto buffer = device_->CreateVertexBuffer(64);
  auto query = device_->CreateOcclusionQuery();
  ASSERT_NE(texture, nullptr);
  device_->SetTexture(0, texture.get());
  device_.reset();  // the device goes first
  texture.reset();
  buffer.reset();
  query.reset();
}

TEST_F(DeviceState, LostFramesAndCaps) {
  EXPECT_TRUE(device_->IsUsable());
  device_->SimulateLostFrames(2);
  EXPECT_FALSE(device_->IsUsable());
  EXPECT_FALSE(device_->IsUsable());
  EXPECT_TRUE(device_->IsUsable());
  const d3d::Caps& caps = device_->GetCaps();
  EXPECT_GE(caps.maxSimultaneousTextures, 4u);
  EXPECT_GE(caps.maxActiveLights, 8u);
  EXPECT_TRUE(caps.occlusionQueries);
  EXPECT_TRUE(caps.floatRenderTargets);
  EXPECT_FALSE(device_->GetDescription().empty());
  // Presenting twice in a row, headless, neither fails nor throttles.
  device_->Present();
  device_->Present();
  // The offscreen driver has no gamma ramp, and says so.
  uint16_t ramp[3][256];
  for (int i = 0; i < 256; ++i) ramp[0][i] = ramp[1][i] = ramp[2][i] = static_cast<uint16_t>(i * 257);
  EXPECT_FALSE(device_->SetGammaRamp(ramp));
}

// -- translation arithmetic ------------------------------------------------------

TEST(GlTranslation, ClipSpaceAndTextureMatrices) {
  // (x, y, z, w) = (0, 0, 0, 1) lands half a pixel right and down, at GL
  // depth -1 (Direct3D's 0).
  const d3d::Matrix c = d3d::ClipSpaceCorrection(100, 50);
  const float in[4] = {0, 0, 0, 1};
  float out[4] = {};
  for (int column = 0; column < 4; ++column) {
    for (int k = 0; k < 4; ++k) out[column] += in[k] * c.m[k][column];
  }
  EXPECT_FLOAT_EQ(out[0], 0.01f);
  EXPECT_FLOAT_EQ(out[1], 0.02f);
  EXPECT_FLOAT_EQ(out[2], -1.0f);
  EXPECT_FLOAT_EQ(out[3], 1.0f);
  // A 2D translation in the third row moves to the fourth for GL; q stays 1.
  d3d::Matrix translate;
  translate.m[2][0] = 0.25f;
  translate.m[2][1] = 0.5f;
  const d3d::Matrix gl = d3d::GlTextureMatrix(translate, 2, d3d::kTtffCount2);
  EXPECT_FLOAT_EQ(gl.m[3][0], 0.25f);
  EXPECT_FLOAT_EQ(gl.m[3][1], 0.5f);
  EXPECT_FLOAT_EQ(gl.m[2][0], 0.0f);
  EXPECT_FLOAT_EQ(gl.m[3][3], 1.0f);
  // Projected with three outputs: q takes the third column.
  d3d::Matrix projective;
  projective.m[2][2] = 2.0f;
  const d3d::Matrix p = d3d::GlTextureMatrix(projective, 3, d3d::kTtffCount3 | d3d::kTtffProjected);
  EXPECT_FLOAT_EQ(p.m[2][3], 2.0f);
  EXPECT_EQ(d3d::VertexCountOf(d3d::kPtLineStrip, 3), 4u);
  EXPECT_EQ(d3d::VertexCountOf(d3d::kPtTriangleStrip, 0), 0u);
}

}  // namespace
}  // namespace klx
