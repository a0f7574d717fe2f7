// The device layer: draws per second of a small indexed mesh when a
// recorded state block is replayed before each draw, against setting every
// state directly before each draw; and the assembler's translation time per
// shader. Runs headless on SDL's offscreen driver; skipped without GL.

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"
#include "gl/gl_device.h"
#include "shader_asm/shader_glsl.h"
#include "shader_asm/shader_program.h"
#include "shader_asm/shader_glsl.h"
#include "render/effects/shader_texts.h"

namespace klx {
namespace {

struct BenchDevice {
  SDL_Window* window = nullptr;
  std::unique_ptr<d3d::Device> device;
  std::unique_ptr<d3d::VertexDeclaration> declaration;
  std::unique_ptr<d3d::VertexBuffer> vertices;
  std::unique_ptr<d3d::IndexBuffer> indices;
  std::unique_ptr<d3d::BaseTexture> texture;
  uint32_t triangles = 0;

  bool Open() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    window = SDL_CreateWindow("bench", 0, 0, 256, 256, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    std::string error;
    device = window != nullptr ? d3d::CreateGlDevice(window, d3d::DeviceSettings{256, 256}, &error) : nullptr;
    if (!device) return false;
    // A 16x16 grid of quads: 512 triangles.
    std::vector<float> data;
    for (int y = 0; y <= 16; ++y) {
      for (int x = 0; x <= 16; ++x) {
        data.insert(data.end(), {x / 8.0f - 1.0f, y / 8.0f - 1.0f, 0.5f, x / 16.0f, y / 16.0f});
      }
    }
    std::vector<uint16_t> list;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const auto i = static_cast<uint16_t>(y * 17 + x);
        list.insert(list.end(), {i, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 18), i,
                                 static_cast<uint16_t>(i + 18), static_cast<uint16_t>(i + 17)});
      }
    }
    triangles = static_cast<uint32_t>(list.size() / 3);
    vertices = device->CreateVertexBuffer(static_cast<uint32_t>(data.size() * 4));
    vertices->Write(0, data.data(), static_cast<uint32_t>(data.size() * 4));
    indices = device->CreateIndexBuffer(static_cast<uint32_t>(list.size() * 2), d3d::kFmtIndex16);
    indices->Write(0, list.data(), static_cast<uint32_t>(list.size() * 2));
    declaration = device->CreateVertexDeclaration({{0, 0, d3d::kDeclFloat3, d3d::kUsagePosition, 0},
                                                   {0, 12, d3d::kDeclFloat2, d3d::kUsageTexCoord, 0}});
    const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    texture = device->CreateTexture(2, 2, 1, d3d::kUsageNone, d3d::kFmtA8R8G8B8);
    texture->WriteLevel(0, 0, texels, 8, 0);
    return true;
  }

  // Every state a pass of the renderer sets.
  void SetStates() {
    d3d::Device& d = *device;
    d.SetRenderState(d3d::kRsAlphaBlendEnable, 0);
    d.SetRenderState(d3d::kRsSrcBlend, d3d::kBlendSrcAlpha);
    d.SetRenderState(d3d::kRsDestBlend, d3d::kBlendInvSrcAlpha);
    d.SetRenderState(d3d::kRsAlphaTestEnable, 0);
    d.SetRenderState(d3d::kRsCullMode, d3d::kCullNone);
    d.SetRenderState(d3d::kRsFogEnable, 0);
    d.SetRenderState(d3d::kRsLighting, 0);
    d.SetRenderState(d3d::kRsShadeMode, d3d::kShadeGouraud);
    d.SetRenderState(d3d::kRsStencilEnable, 0);
    d.SetRenderState(d3d::kRsFillMode, d3d::kFillSolid);
    d.SetRenderState(d3d::kRsZEnable, 1);
    d.SetRenderState(d3d::kRsZWriteEnable, 1);
    d.SetRenderState(d3d::kRsZFunc, d3d::kCmpLessEqual);
    for (uint32_t stage = 0; stage < 8; ++stage) {
      d.SetTextureStageState(stage, d3d::kTssColorOp, stage == 0 ? d3d::kTopModulate : d3d::kTopDisable);
      d.SetTextureStageState(stage, d3d::kTssColorArg1, d3d::kTaTexture);
      d.SetTextureStageState(stage, d3d::kTssColorArg2, d3d::kTaDiffuse);
      d.SetTextureStageState(stage, d3d::kTssAlphaOp, stage == 0 ? d3d::kTopSelectArg1 : d3d::kTopDisable);
      d.SetTextureStageState(stage, d3d::kTssTexCoordIndex, stage);
      d.SetSamplerState(stage, d3d::kSampMinFilter, d3d::kTexfLinear);
      d.SetSamplerState(stage, d3d::kSampMagFilter, d3d::kTexfLinear);
      d.SetSamplerState(stage, d3d::kSampAddressU, d3d::kTaddressWrap);
      d.SetSamplerState(stage, d3d::kSampAddressV, d3d::kTaddressWrap);
    }
    d.SetTexture(0, texture.get());
    d.SetVertexDeclaration(declaration.get());
    d.SetStreamSource(0, vertices.get(), 0, 20);
    d.SetIndices(indices.get());
  }

  void Draw() { device->DrawIndexedPrimitive(d3d::kPtTriangleList, 0, 0, 17 * 17, 0, triangles); }

  ~BenchDevice() {
    texture.reset();
    declaration.reset();
    vertices.reset();
    indices.reset();
    device.reset();
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

void BM_DrawSettingEveryState(benchmark::State& state) {
  BenchDevice bench;
  if (!bench.Open()) {
    state.SkipWithError("no GL device");
    return;
  }
  for (auto _ : state) {
    bench.SetStates();
    bench.Draw();
  }
  std::vector<uint8_t> pixel;
  bench.device->ReadPixels(0, 0, 1, 1, &pixel);  // the queued draws finish inside the measurement's end
  state.counters["draws/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawSettingEveryState)->Unit(benchmark::kMicrosecond);

void BM_DrawReplayingAStateBlock(benchmark::State& state) {
  BenchDevice bench;
  if (!bench.Open()) {
    state.SkipWithError("no GL device");
    return;
  }
  bench.device->BeginStateBlock();
  bench.SetStates();
  std::unique_ptr<d3d::StateBlock> block = bench.device->EndStateBlock();
  for (auto _ : state) {
    bench.device->ApplyStateBlock(*block);
    bench.Draw();
  }
  std::vector<uint8_t> pixel;
  bench.device->ReadPixels(0, 0, 1, 1, &pixel);
  state.counters["draws/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawReplayingAStateBlock)->Unit(benchmark::kMicrosecond);

// A skinned vertex shader of the size the renderer's effects use.
const char kSkinnedShader[] = R"(vs_2_0
dcl_position v0
dcl_normal v1
dcl_texcoord v2
dcl_blendweight v3
dcl_blendindices v4
mul r0, v4, c209.z
mova a0, r0
m4x4 r1, v0, c[a0.x + 8]
mul r1, r1, v3.x
m4x4 r2, v0, c[a0.y + 8]
mad r1, r2, v3.y, r1
m4x4 r2, v0, c[a0.z + 8]
mad r1, r2, v3.z, r1
m4x4 r2, v0, c[a0.w + 8]
mad r1, r2, v3.w, r1
m4x4 oPos, r1, c0
dp4 r3.z, r1, c6
mul r3.z, r3.z, c209.x
mov r3.w, c209.y
lit r4, r3.zzzw
mov oFog, r4.z
mov oT0, v2
mov oD0, c208
)";

void BM_AssembleShader(benchmark::State& state) {
  for (auto _ : state) {
    d3d::ShaderProgram program;
    std::string error;
    d3d::ParseShaderAssembly(kSkinnedShader, &program, &error);
    std::string glsl = d3d::GenerateGlsl(program, d3d::GlslOptions{});
    benchmark::DoNotOptimize(glsl);
  }
}
BENCHMARK(BM_AssembleShader)->Unit(benchmark::kMicrosecond);

// Every text of the built-in effects assembled and turned into GLSL, as a
// start-up does once per text (the driver's compile comes on top).
void BM_AssembleEveryEffectText(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < shaders::kAllTextCount; ++i) {
      d3d::ShaderProgram program;
      std::string error;
      d3d::ParseShaderAssembly(shaders::kAllTexts[i], &program, &error);
      benchmark::DoNotOptimize(d3d::GenerateGlsl(program, d3d::GlslOptions{}));
    }
  }
  state.counters["texts"] = shaders::kAllTextCount;
}
BENCHMARK(BM_AssembleEveryEffectText)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace klx
