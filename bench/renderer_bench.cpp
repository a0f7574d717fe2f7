// The saver's frame with an empty scene: clear, begin frame (default
// camera, scene begin), end frame (queues, present), through the OpenGL
// renderer in a 1280x720 window. Offscreen unless SDL_VIDEODRIVER names
// another driver (x11 under xvfb-run). The frame rate is the inverse of
// the wall time; the CPU time is the renderer's own work plus the
// driver's.

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/lifecycle.h"
#include "offscreen_renderer.h"
#include "render/device_renderer.h"

namespace klx {
namespace {

void BM_EmptySaverFrame(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  Renderer* renderer = OpenOffscreenRenderer(1280, 720, "bench");
  if (renderer == nullptr) {
    state.SkipWithError("no GL renderer or window");
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
