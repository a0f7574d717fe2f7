// The saver's frame with an empty scene: clear, begin frame (default
// camera, scene begin), end frame (queues, present), through the OpenGL
// renderer in a 1280x720 window. Offscreen unless SDL_VIDEODRIVER names
// another driver (x11 under xvfb-run). The frame rate is the inverse of
// the wall time; the CPU time is the renderer's own work plus the
// driver's.

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/lifecycle.h"
#include "render/device_renderer.h"

namespace klx {
namespace {

void BM_EmptySaverFrame(benchmark::State& state) {
  if (std::getenv("SDL_VIDEODRIVER") == nullptr) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  EngineStart();
  if (LoadRenderer(String("OpenGL")) != kOk) {
    state.SkipWithError("no GL renderer");
    EngineStop();
    return;
  }
  Renderer* renderer = GetRenderer();
  int32_t chosen = renderer->GetDefaultConfiguration();
  if (chosen < 0 || renderer->GetConfiguration(chosen).width != 1280) {
    for (int32_t i = 0; i < renderer->GetConfigurationCount(); ++i) {
      if (!renderer->GetConfiguration(i).fullScreen && renderer->GetConfiguration(i).samples == 1) {
        chosen = i;
        break;
      }
    }
  }
  if (renderer->OpenWindow(chosen, String("bench"), 0, 0, 0, 1280, 720) != kOk) {
    state.SkipWithError("no window");
  } else {
    for (auto _ : state) {
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      if (renderer->BeginFrame() == kOk) renderer->EndFrame();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  ReleaseRenderer();
  EngineStop();
}
BENCHMARK(BM_EmptySaverFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace klx
