// The per-frame cost of node animation: 1,000 nodes, each driven by a
// NodeAnimationController with two overlapping frames (two blended stages)
// over animations of 32 keyframes. Reports nanoseconds per controller and
// the heap allocations per frame once the stages exist (expected: none).

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "animation/skin_blend.h"
#include "animation/animation_controller.h"
#include "core/lifecycle.h"
#include "core/result.h"
#include "scene/scene_node.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// Every allocation of the benchmark program is counted.
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace klx {
namespace {

Ref<NodeAnimation> Circle(const char* name, float radius) {
  Ref<NodeAnimation> animation(new NodeAnimation(String(name)));
  for (int i = 0; i < 32; ++i) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = i / 32.0;
    const float angle = 6.2831853f * static_cast<float>(i) / 32.0f;
    keyframe->translation = Vector3{radius * std::cos(angle), 2.0f, radius * std::sin(angle)};
    keyframe->rotation = Quaternion{0.0f, std::sin(angle / 2), 0.0f, std::cos(angle / 2)};
    animation->AddKeyframe(std::move(keyframe));
  }
  return animation;
}

void BM_NodeAnimationControllers(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  {
    const int count = static_cast<int>(state.range(0));
    Ref<NodeAnimation> near = Circle("near", 5.0f), far = Circle("far", 20.0f);
    std::vector<Ref<SceneNode>> nodes;
    for (int i = 0; i < count; ++i) {
      Ref<SceneNode> node(new SceneNode(String("bird")));
      auto* controller = new NodeAnimationController(String("flight"));
      controller->AddAnimation(near.Get());
      controller->AddAnimation(far.Get());
      AnimationFrame first;
      first.animation = near;
      first.end = 0.6;
      AnimationFrame second;
      second.animation = far;
      second.start = 0.4;
      second.end = 1.0;
      controller->AddFrame(first);
      controller->AddFrame(second);
      controller->SetTrackPeriod(10.0 + i % 7);
      controller->SetPhase(0.5);  // inside the overlap: both stages blend
      if (node->AttachController(controller) != kOk) return state.SkipWithError("attach failed");
      controller->Update(0.0);  // the stages exist from here on
      nodes.push_back(node);
    }
    long allocations = 0;
    for (auto _ : state) {
      const long before = g_allocations.load(std::memory_order_relaxed);
      for (Ref<SceneNode>& node : nodes) node->UpdateControllers(0.001);
      allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    state.counters["ns_per_controller"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * count, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(std::max<int64_t>(1, state.iterations()));
  }
  EngineStop();
}
BENCHMARK(BM_NodeAnimationControllers)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace klx

namespace klx {
namespace {

// Processor skinning of a 10,000-vertex mesh with four weights a vertex over
// 30 bones, the plain routine against the SSE2 one.
void SkinBlendBench(benchmark::State& state, void (*blend)(const SkinBlendInput&, Vector3*)) {
  const int count = 10000, boneCount = 30;
  std::vector<Matrix4> bones;
  for (int b = 0; b < boneCount; ++b) {
    const float a = 0.1f * b;
    bones.push_back(Matrix4::Rotation(Quaternion{0, std::sin(a), 0, std::cos(a)}) *
                    Matrix4::Translation({0.1f * b, 0, 0}));
  }
  std::vector<Vector3> positions(count), out(count);
  std::vector<Vector4> weights(count, Vector4{0.4f, 0.3f, 0.2f, 0.1f}), indices(count);
  for (int v = 0; v < count; ++v) {
    positions[v] = Vector3{0.001f * v, 0.5f, -0.25f};
    indices[v] = Vector4{float(v % boneCount), float((v + 1) % boneCount), float((v + 2) % boneCount),
                         float((v + 3) % boneCount)};
  }
  const SkinBlendInput input{positions.data(), weights.data(), indices.data(), count, bones.data(), boneCount};
  for (auto _ : state) {
    blend(input, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["vertices/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * count, benchmark::Counter::kIsRate);
}
void BM_SkinBlendPlain(benchmark::State& state) { SkinBlendBench(state, &BlendSkinPlain); }
void BM_SkinBlendSimd(benchmark::State& state) { SkinBlendBench(state, &BlendSkinSimd); }
BENCHMARK(BM_SkinBlendPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkinBlendSimd)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace klx
