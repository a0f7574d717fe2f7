// Particles: the update and buffer rebuild of a sprite system holding
// 10,000 live particles, as camera-facing quads (what llvmpipe draws) and
// as point sprites. Reports particles updated and written a second.

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "core/lifecycle.h"
#include "scene/draw_context.h"
#include "scene/screen_context.h"
#include "scene/sprite_particles.h"

namespace klx {
namespace {

class BenchScreen : public DrawContext {
 public:
  explicit BenchScreen(bool points) : points_(points) { SetScreenContext(this); }
  ~BenchScreen() override { SetScreenContext(nullptr); }
  CullingFrustum* GetActiveFrustum() override { return nullptr; }
  void FlushQueues() override {}
  bool DrawsPointSprites() const override { return points_; }

 private:
  bool points_;
};

void BM_ParticleUpdate(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  {
    BenchScreen screen(state.range(0) == 1);
    std::srand(3);
    Ref<SpriteParticleSystem> system(new SpriteParticleSystem(String("bench")));
    Ref<SphereVolumeEmitter> emitter(new SphereVolumeEmitter(String("ball")));
    emitter->SetRadius(5.0f);
    system->SetEmitter(emitter.Get());
    system->emissionInterval = 0.01f;
    system->particlesPerBurst = 100;
    system->lifetime = 1e6f;  // they all live: 10,000 once the pool is full
    system->acceleration = Vector3{0, -9.8f, 0};
    system->birthSize = 1.0f;
    system->deathSize = 0.5f;
    system->SetMaximumParticles(10000);
    for (int i = 0; i < 200 && system->GetLiveCount() < 10000; ++i) system->Update(0.0101);
    if (system->GetLiveCount() != 10000) return state.SkipWithError("the pool did not fill");
    for (auto _ : state) {
      system->Update(1.0 / 60.0);
      benchmark::DoNotOptimize(system->GetVertexBuffer());
    }
    state.SetLabel(state.range(0) == 1 ? "point sprites" : "quads");
    state.counters["particles/s"] =
        benchmark::Counter(10000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  EngineStop();
}
BENCHMARK(BM_ParticleUpdate)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace klx
