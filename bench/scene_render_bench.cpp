// A scene of 1,000 textured meshes of 500 triangles each, drawn at
// 1280x720 on the offscreen driver through the texture effect: frames per
// second, and the engine's own share of a frame (update, culling and
// submission) apart from the driver's (which finishes the frame).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "core/lifecycle.h"
#include "render/effects/material_effects.h"
#include "render/device_renderer.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

// A 10x25 grid of quads: 500 triangles.
Ref<Triangles> GridMesh(TextureEffect* effect, Vector3Buffer* positions, Vector2Buffer* uv, IntBuffer* indices) {
  Ref<Triangles> mesh(new Triangles(String()));
  mesh->SetVertexBuffer(positions);
  mesh->SetTexCoordBuffer(0, uv);
  mesh->SetIndexBuffer(indices);
  mesh->SetEffect(effect);
  mesh->UpdateModelBound();
  return mesh;
}

void BM_ThousandTexturedMeshes(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  DeviceRenderer* renderer = OpenOffscreenRenderer(1280, 720, "bench");
  if (renderer == nullptr) {
    state.SkipWithError("no GL renderer");
    EngineStop();
    return;
  }
  {
    // Shared geometry data, 1,000 nodes each with its own effect.
    std::vector<Vector3> points;
    std::vector<Vector2> uvs;
    for (int y = 0; y <= 10; ++y) {
      for (int x = 0; x <= 25; ++x) {
        points.push_back({x * 0.04f, y * 0.04f, 0});
        uvs.push_back({x / 25.0f, y / 10.0f});
      }
    }
    std::vector<int32_t> list;
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 25; ++x) {
        const int32_t i = y * 26 + x;
        list.insert(list.end(), {i, i + 1, i + 27, i, i + 27, i + 26});
      }
    }
    Ref<Vector3Buffer> positions(new Vector3Buffer(String(), static_cast<int32_t>(points.size()), points.data()));
    Ref<Vector2Buffer> uv(new Vector2Buffer(String(), static_cast<int32_t>(uvs.size()), uvs.data()));
    Ref<IntBuffer> indices(new IntBuffer(String(), static_cast<int32_t>(list.size()), list.data()));
    Ref<Image> image(new Image(String("checker"), kImageRGB8, 64, 64));
    for (int i = 0; i < 64 * 64 * 3; ++i) image->EditPixels()[i] = static_cast<uint8_t>(((i / 3) % 64 / 8 + (i / 3) / 512) % 2 * 200 + 30);
    Ref<Texture> texture(new Texture(String("checker")));
    texture->SetImage(image.Get());
    Ref<SceneNode> root(new SceneNode(String("root"), 0, 1024));
    for (int i = 0; i < 1000; ++i) {
      Ref<TextureEffect> effect(new TextureEffect(String()));
      effect->SetTexture(texture.Get());
      effect->cull = false;
      Ref<Triangles> mesh = GridMesh(effect.Get(), positions.Get(), uv.Get(), indices.Get());
      SetTranslation(mesh->LocalTransform(), {(i % 40) * 1.1f - 22.0f, (i / 40) * 0.45f - 5.6f, 20.0f + (i % 7)});
      root->AttachChild(mesh.Get());
    }
    Ref<Camera> camera(new Camera(String("cam")));
    renderer->SetCamera(camera.Get());
    double engineSeconds = 0;
    for (auto _ : state) {
      const auto start = std::chrono::steady_clock::now();
      root->UpdateGeometricState(0.02, false);
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      if (renderer->BeginFrame() != kOk) continue;
      root->Draw(renderer);
      engineSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      renderer->EndFrame();
      std::vector<uint8_t> pixel;
      renderer->GetDevice()->ReadPixels(0, 0, 1, 1, &pixel);  // the frame is finished inside the measurement
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["engine_ms"] = 1000.0 * engineSeconds / static_cast<double>(std::max<int64_t>(1, state.iterations()));
  }
  ReleaseRenderer();
  EngineStop();
}
BENCHMARK(BM_ThousandTexturedMeshes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
}  // namespace klx
