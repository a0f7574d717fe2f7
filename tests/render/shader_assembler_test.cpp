// The shader assembler: every instruction and modifier run on llvmpipe in a
// small shader whose result is compared with the same arithmetic done here,
// vertex and pixel shaders alone and together with GL's fixed function on
// the other side, samplers, the fog after a pixel shader, and texts that
// must be refused with their line number.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "gl/gl_device.h"
#include "render/effects/shader_texts.h"
#include "shader_asm/shader_glsl.h"
#include "shader_asm/shader_program.h"
#include "support/gl_device_fixture.h"

namespace klx {
namespace {

using d3d::ColorArgb;
using test::Near;
using test::Rgba;
using Vec = std::array<float, 4>;

Rgba ToRgba(const Vec& v) {
  auto channel = [](float x) { return static_cast<int>(std::lround(std::clamp(x, 0.0f, 1.0f) * 255.0f)); };
  return Rgba{channel(v[0]), channel(v[1]), channel(v[2]), channel(v[3])};
}

class ShaderRuns : public test::GlDeviceTest {
 protected:
  // Runs `body` in a vertex shader (the result in r0 goes to the diffuse
  // colour) with c4..c7 set, and returns the colour drawn.
  Rgba RunVertex(const std::string& version, const std::string& body, const std::vector<Vec>& constants) {
    const std::string text = version + "\ndcl_position v0\nmov oPos, v0\n" + body + "\nmov oD0, r0\n";
    std::string error;
    auto shader = device_->CreateShader(d3d::kVertexShader, text, &error);
    EXPECT_NE(shader, nullptr) << error << "\n" << text;
    if (shader == nullptr) return Rgba{-1, -1, -1, -1};
    for (size_t i = 0; i < constants.size(); ++i) {
      device_->SetVertexShaderConstants(4 + static_cast<uint32_t>(i), constants[i].data(), 1);
    }
    PlainStates();
    device_->SetVertexShader(shader.get());
    device_->Clear(d3d::kClearTarget, ColorArgb(255, 0, 0, 0), 1.0f, 0);
    Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, 0), 2);
    device_->SetVertexShader(nullptr);
    return Pixel(8, 8);
  }

  // Runs `body` in a pixel shader with c0..c7 set; ps 2.0 bodies leave
  // their result in r0, which goes to oC0.
  Rgba RunPixel(const std::string& version, const std::string& body, const std::vector<Vec>& constants,
                uint32_t diffuse = ColorArgb(255, 255, 255, 255), uint32_t x = 8, uint32_t y = 8) {
    const bool two = version == "ps_2_0";
    const std::string text = version + "\n" + body + (two ? "\nmov oC0, r0\n" : "\n");
    std::string error;
    auto shader = device_->CreateShader(d3d::kPixelShader, text, &error);
    EXPECT_NE(shader, nullptr) << error << "\n" << text;
    if (shader == nullptr) return Rgba{-1, -1, -1, -1};
    for (size_t i = 0; i < constants.size(); ++i) {
      device_->SetPixelShaderConstants(static_cast<uint32_t>(i), constants[i].data(), 1);
    }
    PlainStates();
    device_->SetPixelShader(shader.get());
    device_->Clear(d3d::kClearTarget, ColorArgb(255, 0, 0, 0), 1.0f, 0);
    Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, diffuse), 2);
    device_->SetPixelShader(nullptr);
    return Pixel(x, y);
  }
};

float Dot3(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
float Dot4(const Vec& a, const Vec& b) { return Dot3(a, b) + a[3] * b[3]; }
Vec Splat(float x) { return {x, x, x, x}; }

TEST_F(ShaderRuns, VertexArithmeticMatchesTheProcessor) {
  const Vec a{0.2f, 0.4f, 0.6f, 0.8f};
  const Vec b{0.5f, 0.25f, 0.75f, 0.1f};
  const Vec c{0.05f, 0.1f, 0.15f, 0.2f};
  const struct {
    const char* body;
    Vec expected;
  } cases[] = {
      {"mov r0, c4", a},
      {"add r0, c4, c5", {0.7f, 0.65f, 1.35f, 0.9f}},
      {"sub r0, c4, c6", {0.15f, 0.3f, 0.45f, 0.6f}},
      {"mul r0, c4, c5", {0.1f, 0.1f, 0.45f, 0.08f}},
      {"mad r0, c4, c5, c6", {0.15f, 0.2f, 0.6f, 0.28f}},
      {"dp3 r0, c4, c5", Splat(Dot3(a, b))},
      {"dp4 r0, c4, c6", Splat(Dot4(a, c))},
      {"rcp r0, c5.y", Splat(4.0f) /* clamps to 1 */},
      {"rcp r0, c7.x", Splat(1.0f / 2.5f)},
      {"rsq r0, c7.y", Splat(1.0f / std::sqrt(4.0f))},
      {"rsq r0, -c7.y", Splat(0.5f)},  // of the absolute value
      {"min r0, c4, c5", {0.2f, 0.25f, 0.6f, 0.1f}},
      {"max r0, c4, c5", {0.5f, 0.4f, 0.75f, 0.8f}},
      {"exp r0, -c7.y", Splat(std::exp2(-4.0f))},
      {"log r0, c7.x", Splat(std::log2(2.5f) * 0.5f) /* scaled below */},
      {"frc r0, c7", {0.5f, 0.0f, 0.25f, 0.75f}},
      {"abs r0, -c4", a},
      {"pow r0, c4.z, c7.w", Splat(std::pow(0.6f, 0.75f))},
      {"lrp r0, c6, c4, c5", {0.05f * 0.2f + 0.95f * 0.5f, 0.1f * 0.4f + 0.9f * 0.25f,
                              0.15f * 0.6f + 0.85f * 0.75f, 0.2f * 0.8f + 0.8f * 0.1f}},
      {"dst r0, c4, c5", {1.0f, 0.4f * 0.25f, 0.6f, 0.1f}},
      {"mov r0, c4.wzyx", {0.8f, 0.6f, 0.4f, 0.2f}},
      {"mov r0, c4.y", Splat(0.4f)},
      {"mov r0, c4.xy", {0.2f, 0.4f, 0.4f, 0.4f}},  // the last component repeats
      {"mov r0, c5\nmov r0.xz, c4", {0.2f, 0.25f, 0.6f, 0.1f}},
      {"mov r0, -c4\nadd r0, r0, c5", {0.3f, -0.15f, 0.15f, -0.7f}},
      {"mov r0, c4\nmul r0.y, r0.x, c7.y", {0.2f, 0.8f, 0.6f, 0.8f}},
  };
  const Vec d{2.5f, 4.0f, 3.25f, 0.75f};
  for (const auto& test : cases) {
    Vec expected = test.expected;
    std::string body = test.body;
    if (body == "log r0, c7.x") body += "\nmul r0, r0, c6.w\nmul r0, r0, c7.z";  // keep it inside 0..1
    if (body.rfind("log r0", 0) == 0) expected = Splat(std::log2(2.5f) * 0.2f * 3.25f);
    EXPECT_TRUE(Near(RunVertex("vs_2_0", body, {a, b, c, d}), ToRgba(expected), 1)) << test.body;
  }
}

TEST_F(ShaderRuns, VertexComparisonsLightingAndMatrices) {
  const Vec a{0.2f, 0.9f, -0.5f, 0.5f};
  const Vec b{0.5f, 0.5f, -0.5f, 0.0f};
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "slt r0, c4, c5", {a, b}), ToRgba({1, 0, 0, 0})));
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "sge r0, c4, c5", {a, b}), ToRgba({0, 1, 1, 1})));
  // lit: (1, max(x, 0), x > 0 and y > 0 ? y^w : 0, 1)
  const Vec light{0.5f, 0.25f, 0.0f, 2.0f};
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "lit r0, c4", {light}), ToRgba({1, 0.5f, 0.0625f, 1})));
  const Vec dark{-0.5f, 0.25f, 0.0f, 2.0f};
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "lit r0, c4", {dark}), ToRgba({1, 0, 0, 1})));
  // The engine's fog: 1 / e^((density * depth)^exponent) through two lits.
  // lit with x = 1, y = 2^-(...) and power ... is checked by its parts here:
  const Vec powers{1.0f, 0.5f, 0.0f, 3.0f};
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "lit r0, c4", {powers}), ToRgba({1, 1, 0.125f, 1})));
  // vs 1.1 expp and logp give their four-part results.
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "expp r0, c4.x\nmul r0, r0, c5", {{1.25f, 0, 0, 0}, {0.25f, 1, 0.25f, 1}}),
                   ToRgba({0.5f, 0.25f, std::exp2(1.25f) * 0.25f, 1})));
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "logp r0, c4.x\nmul r0, r0, c5", {{6.0f, 0, 0, 0}, {0.25f, 0.5f, 0.25f, 1}}),
                   ToRgba({0.5f, 0.75f, std::log2(6.0f) * 0.25f, 1})));
  // Matrices: rows in c4..c7.
  const Vec v{0.5f, 0.25f, 0.125f, 1.0f};
  const Vec r0{0.1f, 0.2f, 0.3f, 0.1f}, r1{0.5f, 0.0f, 0.0f, 0.2f}, r2{0.0f, 0.0f, 1.0f, 0.3f},
      r3{0.2f, 0.2f, 0.2f, 0.2f};
  const Vec m4{Dot4(v, r0), Dot4(v, r1), Dot4(v, r2), Dot4(v, r3)};
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "mov r1, c8\nm4x4 r0, r1, c4", {r0, r1, r2, r3, v}), ToRgba(m4)));
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "mov r0, c5\nm4x3 r0.xyz, c8, c4", {r0, r1, r2, r3, v}),
                   ToRgba({m4[0], m4[1], m4[2], r1[3]})));
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "mov r0, c5\nm3x3 r0.xyz, c8, c4", {r0, r1, r2, r3, v}),
                   ToRgba({Dot3(v, r0), Dot3(v, r1), Dot3(v, r2), r1[3]})));
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "mov r0, c5\nm3x2 r0.xy, c8, c4", {r0, r1, r2, r3, v}),
                   ToRgba({Dot3(v, r0), Dot3(v, r1), r1[2], r1[3]})));
  // Relative addressing: a0 from mov (vs 1.1, rounds down) and mova
  // (vs 2.0, rounds to nearest).
  const Vec index{1.7f, 0, 0, 0};
  EXPECT_TRUE(Near(RunVertex("vs_1_1", "mov a0.x, c4.x\nmov r0, c[a0.x + 5]", {index, r0, r1, r2}), ToRgba(r1)));
  EXPECT_TRUE(Near(RunVertex("vs_2_0", "mova a0.x, c4.x\nmov r0, c[a0.x + 5]", {index, r0, r1, r2}), ToRgba(r2)));
  // sincos, cross product, normalisation.
  const Vec angle{0.5f, 0, 0, 0};
  EXPECT_TRUE(Near(RunVertex("vs_2_0", "mov r0, c4.y\nsincos r0.xy, c4.x", {angle}),
                   ToRgba({std::cos(0.5f), std::sin(0.5f), 0, 0})));
  EXPECT_TRUE(Near(RunVertex("vs_2_0", "mov r0, c4.w\ncrs r0.xyz, c5, c6", {{0, 0, 0, 0.5f}, {1, 0, 0, 0}, {0, 1, 0, 0}}),
                   ToRgba({0, 0, 1, 0.5f})));
  EXPECT_TRUE(Near(RunVertex("vs_2_0", "nrm r0, c4", {{3, 0, 4, 2.5f}}), ToRgba({0.6f, 0, 0.8f, 0.5f})));
  // def constants win over the uniform of the same register.
  EXPECT_TRUE(Near(RunVertex("vs_2_0", "def c4, 0.25, 0.5, 0.75, 1.0\nmov r0, c4", {{0, 0, 0, 0}}),
                   ToRgba({0.25f, 0.5f, 0.75f, 1})));
}

TEST_F(ShaderRuns, PixelOneXModifiersAndTheirRange) {
  const Vec half{0.5f, 0.5f, 0.5f, 0.5f};
  const Vec a{0.75f, 0.25f, 0.6f, 1.0f};
  // _bx2: 2x - 1; _bias: x - 0.5; 1 - x; the _x2 / _d2 / _x4 result scales.
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mul r0, c1_bx2, c0", {half, a}), ToRgba({0.25f, -0.25f, 0.1f, 0.5f})));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "add r0, c1_bias, c0", {half, a}), ToRgba({0.75f, 0.25f, 0.6f, 1})));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mov r0, 1-c1", {half, a}), ToRgba({0.25f, 0.75f, 0.4f, 0})));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mul_x2 r0, c1, c0", {half, a}), ToRgba(a)));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mov_d2 r0, c1", {half, a}), ToRgba({0.375f, 0.125f, 0.3f, 0.5f})));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mul_x4 r0, c1, c0\nmul r0, r0, c0", {half, a}),
                   ToRgba({0.5f, 0.25f, 0.5f, 0.5f})));  // 4 * 0.375 = 1.5 clamps to 1 first
  // Registers hold -1..1: 0.8 + 0.8 keeps 1, and 1 - 0.5 leaves 0.5 (not 1.1).
  const Vec big{0.8f, 0.8f, 0.8f, 0.8f};
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "add r0, c0, c0\nsub r0, r0, c1", {big, half}), ToRgba(half)));
  // cnd picks by r0.a > 0.5; the diffuse colour arrives in v0.
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mov r0, c0\ncnd r0, r0.a, c1, c2", {{0, 0, 0, 0.75f}, a, half}), ToRgba(a)));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mov r0, c0\ncnd r0, r0.a, c1, c2", {{0, 0, 0, 0.25f}, a, half}), ToRgba(half)));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mov r0, v0", {}, ColorArgb(255, 10, 20, 30)), Rgba{10, 20, 30, 255}));
  EXPECT_TRUE(Near(RunPixel("ps_1_3", "dp3_sat r0, c1_bx2, c1_bx2", {half, a}), ToRgba(Splat(0.25f + 0.25f + 0.04f))));
  EXPECT_TRUE(Near(RunPixel("ps_1_1", "mov r0.rgb, c1\n+mov r0.a, c0.b", {half, a}), ToRgba({0.75f, 0.25f, 0.6f, 0.5f})));
}

TEST_F(ShaderRuns, PixelTwoArithmeticAndCmp) {
  const Vec a{0.2f, -0.4f, 0.6f, -0.8f};
  const Vec b{0.9f, 0.8f, 0.7f, 0.6f};
  const Vec c{0.1f, 0.2f, 0.3f, 0.4f};
  EXPECT_TRUE(Near(RunPixel("ps_2_0", "cmp r0, c0, c1, c2", {a, b, c}), ToRgba({0.9f, 0.2f, 0.7f, 0.4f})));
  EXPECT_TRUE(Near(RunPixel("ps_2_0", "mad_sat r0, c1, c1, c2", {a, b, c}), ToRgba({0.91f, 0.84f, 0.79f, 0.76f})));
  EXPECT_TRUE(Near(RunPixel("ps_2_0", "lrp r0, c2, c1, c0", {a, b, c}),
                   ToRgba({0.1f * 0.9f + 0.9f * 0.2f, 0.2f * 0.8f - 0.8f * 0.4f, 0.3f * 0.7f + 0.7f * 0.6f,
                           0.4f * 0.6f - 0.6f * 0.8f})));
  EXPECT_TRUE(Near(RunPixel("ps_2_0", "abs r0, c0", {a}), ToRgba({0.2f, 0.4f, 0.6f, 0.8f})));
  EXPECT_TRUE(Near(RunPixel("ps_2_0", "rcp r0.x, c1.x\nmov r0.yzw, c2", {a, {4, 0, 0, 0}, c}),
                   ToRgba({0.25f, 0.2f, 0.3f, 0.4f})));
}

TEST_F(ShaderRuns, SamplingTexturesFromBothVersions) {
  // A 2x2 texture: red, green / blue, white.
  const uint8_t texels[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
  auto texture = device_->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
  ASSERT_TRUE(texture->WriteLevel(0, 0, texels, 8, 0));
  device_->SetTexture(0, texture.get());
  // The quad's (u, v) runs 0..1 over 16 pixels with centres on integers:
  // pixel (12, 4) samples (0.75, 0.25), the green texel, and pixel (4, 12)
  // the blue one.
  const uint32_t white = ColorArgb(255, 255, 255, 255);
  EXPECT_EQ(RunPixel("ps_1_1", "tex t0\nmov r0, t0", {}, white, 12, 4), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(RunPixel("ps_2_0", "dcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0", {}, white, 4, 12), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(RunPixel("ps_2_0", "dcl t0\ndcl_2d s0\ntexldp r0, t0, s0", {}, white, 12, 12), (Rgba{255, 255, 255, 255}));
  // texcoord gives the coordinates themselves: pixel (8, 8) is at (0.5, 0.5).
  const Rgba coordinates = RunPixel("ps_1_1", "texcoord t0\nmov r0, t0", {});
  EXPECT_TRUE(Near(coordinates, Rgba{128, 128, 0, 255}, 1)) << coordinates;
  EXPECT_EQ(RunPixel("ps_2_0", "dcl t0\nsub r0, t0, c0\ntexkill r0\nmov r0, c1", {{0.5f, 0.5f, 0, 0}, {1, 0, 1, 1}}),
            (Rgba{255, 0, 255, 255}));
  EXPECT_EQ(RunPixel("ps_2_0", "dcl t0\nsub r0, t0, c0\ntexkill r0\nmov r0, c1", {{0.6f, 0.5f, 0, 0}, {1, 0, 1, 1}}),
            (Rgba{0, 0, 0, 255}));
  // A vertex shader feeding the fixed-function pixel stage (texture
  // modulated by diffuse) through oT0 and oD0.
  const std::string vs = "vs_1_1\ndcl_position v0\ndcl_texcoord v1\nmov oPos, v0\nmov oT0, c4\nmov oD0, c5\n";
  std::string error;
  auto vertex = device_->CreateShader(d3d::kVertexShader, vs, &error);
  ASSERT_NE(vertex, nullptr) << error;
  const float uv[4] = {0.25f, 0.25f, 0, 1};  // the red texel
  const float diffuse[4] = {0.5f, 1, 1, 1};
  device_->SetVertexShaderConstants(4, uv, 1);
  device_->SetVertexShaderConstants(5, diffuse, 1);
  PlainStates();
  device_->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopModulate);
  device_->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaTexture);
  device_->SetTextureStageState(0, d3d::kTssColorArg2, d3d::kTaDiffuse);
  device_->SetVertexShader(vertex.get());
  device_->Clear(d3d::kClearTarget, ColorArgb(255, 0, 0, 0), 1.0f, 0);
  Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, 0), 2);
  EXPECT_TRUE(Near(Pixel(8, 8), Rgba{128, 0, 0, 255}));
  device_->SetVertexShader(nullptr);
}

TEST_F(ShaderRuns, FogAfterThePixelShaderAndTheVertexFogFactor) {
  // A vertex shader writes oFog = 0.25; with vertex fog the factor is used
  // as it is: a quarter of the surface colour, three quarters fog.
  std::string error;
  auto vertex = device_->CreateShader(
      d3d::kVertexShader, "vs_1_1\ndcl_position v0\nmov oPos, v0\nmov oD0, c4\nmov oFog, c5.x\n", &error);
  ASSERT_NE(vertex, nullptr) << error;
  auto pixel = device_->CreateShader(d3d::kPixelShader, "ps_2_0\ndcl v0\nmov oC0, v0\n", &error);
  ASSERT_NE(pixel, nullptr) << error;
  const float red[4] = {1, 0, 0, 1};
  const float factor[4] = {0.25f, 0, 0, 0};
  device_->SetVertexShaderConstants(4, red, 1);
  device_->SetVertexShaderConstants(5, factor, 1);
  PlainStates();
  device_->SetRenderState(d3d::kRsFogEnable, 1);
  device_->SetRenderState(d3d::kRsFogVertexMode, d3d::kFogLinear);
  device_->SetRenderState(d3d::kRsFogColor, ColorArgb(255, 0, 0, 255));
  device_->SetVertexShader(vertex.get());
  for (bool withPixelShader : {false, true}) {
    device_->SetPixelShader(withPixelShader ? pixel.get() : nullptr);
    device_->Clear(d3d::kClearTarget, ColorArgb(255, 0, 0, 0), 1.0f, 0);
    Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, 0), 2);
    EXPECT_TRUE(Near(Pixel(8, 8), Rgba{64, 0, 191, 255}, 2)) << "pixel shader " << withPixelShader;
  }
  device_->SetPixelShader(nullptr);
  device_->SetVertexShader(nullptr);
}

TEST_F(ShaderRuns, EveryKindOfInstructionCompilesAndLinksOnGl) {
  // The fuzz seeds use every instruction and modifier; each pair must link.
  const char* const files[] = {"vs11.txt", "vs20.txt", "ps11.txt", "ps20.txt"};
  std::vector<std::unique_ptr<d3d::Shader>> shaders;
  for (const char* file : files) {
    std::ifstream in(std::string(KLX_SOURCE_DIR) + "/fuzz/corpus/shader/" + file);
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    const bool pixel = file[0] == 'p';
    shaders.push_back(device_->CreateShader(pixel ? d3d::kPixelShader : d3d::kVertexShader, text.str(), &error));
    ASSERT_NE(shaders.back(), nullptr) << file << ": " << error;
  }
  auto* gl = dynamic_cast<d3d::GlDevice*>(device_.get());
  ASSERT_NE(gl, nullptr);
  PlainStates();
  for (size_t vertex = 0; vertex < 2; ++vertex) {
    for (size_t pixel = 2; pixel < 4; ++pixel) {
      device_->SetVertexShader(shaders[vertex].get());
      device_->SetPixelShader(shaders[pixel].get());
      Draw(d3d::kPtTriangleList, Quad(0, 0, 16, 16, 0.5f, 0), 2);
      EXPECT_EQ(gl->GetLastProgramError(), "") << files[vertex] << " with " << files[pixel];
    }
  }
  EXPECT_EQ(gl->GetProgramCount(), 4u);
  // A shader that goes takes its programs with it.
  device_->SetVertexShader(nullptr);
  device_->SetPixelShader(nullptr);
  shaders[0].reset();
  EXPECT_EQ(gl->GetProgramCount(), 2u);
}

// -- the text ------------------------------------------------------------------

TEST(ShaderText, MalformedTextsAreRefusedWithTheirLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "no shader version"},
      {"vs_3_0\nmov oPos, v0", "line 1: unknown shader version"},
      {"vs_1_1\nfoo r0, r1", "line 2: unknown instruction"},
      {"vs_1_1\nmov r0", "line 2: mov takes 2 operands"},
      {"vs_1_1\nmov r99, c0", "line 2: register"},
      {"vs_1_1\nmov c0, r0", "cannot be written"},
      {"vs_1_1\nmov r0.yx, c0", "bad write mask"},
      {"vs_1_1\nmov r0, c0.q", "bad swizzle"},
      {"vs_1_1\nmov r0, c[a0.x + 300]", "constant offset"},
      {"vs_1_1\nmov r0, c[r0.x]", "bad constant offset"},
      {"vs_1_1\ntex t0", "pixel shader instruction"},
      {"ps_2_0\ntex t0", "needs ps_1_1"},
      {"ps_1_1\ntexld r0, t0, s0", "needs ps_2_0"},
      {"ps_1_1\nmov r0, c[a0.x]", "no relative addressing"},
      {"ps_2_0\ndcl_foo s0", "dcl_2d"},
      {"vs_1_1\ndcl_nonsense v0", "unknown input usage"},
      {"vs_1_1\ndef c0, 1, 2, three, 4", "bad number"},
      {"vs_1_1\nmov oPos, v0\nmov r0, oPos", "cannot be read"},
      {"vs_2_0\nmov a0.x, c0.x", "a0 is written by mova"},
      {"ps_1_1\nmov r0, c0_foo", "unknown source modifier"},
      {"vs_1_1\nmov_x2 r0, c0", "unknown instruction modifier"},
  };
  for (const auto& c : cases) {
    d3d::ShaderProgram program;
    std::string error;
    EXPECT_FALSE(d3d::ParseShaderAssembly(c.text, &program, &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST(ShaderText, CommentsCaseCoIssueAndTheGeneratedText) {
  d3d::ShaderProgram program;
  std::string error;
  ASSERT_TRUE(d3d::ParseShaderAssembly(
      "// a comment\nVS_1_1 ; version\n\ndcl_position v0\ndcl_texcoord3 v4\nM4X4 oPos, v0, c0 // transform\n"
      "mov oT0.xy, v4\n",
      &program, &error))
      << error;
  EXPECT_FALSE(program.pixel);
  ASSERT_EQ(program.instructions.size(), 2u);
  EXPECT_EQ(program.declarations[1].usage, d3d::kUsageTexCoord);
  EXPECT_EQ(program.declarations[1].usageIndex, 3);
  const std::string glsl = d3d::GenerateGlsl(program, d3d::GlslOptions{});
  EXPECT_NE(glsl.find("#version 120"), std::string::npos);
  EXPECT_NE(glsl.find("attribute vec4 a_v4;"), std::string::npos);
  EXPECT_NE(glsl.find("uniform vec4 vc[256];"), std::string::npos);
  EXPECT_EQ(d3d::ShaderAttributeLocation(d3d::kUsageTexCoord, 3), 11);
  EXPECT_EQ(d3d::ShaderAttributeLocation(d3d::kUsageFog, 0), -1);
}

// Every shader text the built-in effects carry assembles and becomes GLSL.
TEST(BuiltInShaderTexts, EveryTextAssembles) {
  ASSERT_GT(shaders::kAllTextCount, 10);
  for (int i = 0; i < shaders::kAllTextCount; ++i) {
    d3d::ShaderProgram program;
    std::string error;
    ASSERT_TRUE(d3d::ParseShaderAssembly(shaders::kAllTexts[i], &program, &error)) << "text " << i << ": " << error;
    EXPECT_FALSE(d3d::GenerateGlsl(program, d3d::GlslOptions{}).empty()) << "text " << i;
  }
}

}  // namespace
}  // namespace klx
