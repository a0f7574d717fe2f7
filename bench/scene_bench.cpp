// The scene graph per frame: update (world transforms down, bounds up) and
// culled drawing of generated trees, in nanoseconds per node; and fitting
// spheres around points with the SIMD and plain min/max routines.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/lifecycle.h"
#include "engine_session.h"
#include "core/memory_stream.h"
#include "scene/point_bounds.h"
#include "scene/scene_node.h"

namespace {

using namespace klx;

// A leaf with a fixed world bound that counts how often it is drawn.
class CountingLeaf : public Node {
 public:
  explicit CountingLeaf(int* drawn) : Node(String()), drawn_(drawn) {}
  void DrawSelf(DrawContext*) override { ++*drawn_; }

 private:
  int* drawn_;
};

class BenchContext : public DrawContext {
 public:
  BenchContext() {
    // Keep x in (-33, 33): about a third of leaves spread over (-100, 100).
    for (Plane& plane : frustum.planes) plane = {{0, 1, 0}, -1e9f};
    frustum.planes[0] = {{1, 0, 0}, -33};
    frustum.planes[1] = {{-1, 0, 0}, -33};
  }
  CullingFrustum* GetActiveFrustum() override {
    frustum.mask = CullingFrustum::kAllPlanes;
    return &frustum;
  }
  void FlushQueues() override {}
  CullingFrustum frustum;
};

struct Tree {
  Ref<SceneNode> root;
  int nodes = 1;
  int leaves = 0;
  int drawn = 0;
};

// A tree of depth 6 with about `count` nodes: interior levels branch evenly;
// each group sits in its own stretch of x, so culling rejects whole subtrees.
void Grow(Tree& tree, SceneNode* parent, int depth, int branching, int count, float low, float high) {
  const float step = (high - low) / static_cast<float>(branching);
  for (int i = 0; i < branching && tree.nodes < count; ++i) {
    const float a = low + step * static_cast<float>(i);
    const float center = a + step * 0.5f;
    if (depth == 6) {
      auto* leaf = new CountingLeaf(&tree.drawn);
      SetTranslation(leaf->LocalTransform(), {center, 0, 0});
      static_cast<SphereBoundingVolume*>(leaf->GetWorldBound())->Set({center, 0, 0}, step * 0.4f);
      parent->AttachChild(leaf);
      ++tree.leaves;
      ++tree.nodes;
    } else {
      auto* group = new SceneNode(String(), 0, branching);
      SetRotation(group->LocalTransform(), Quaternion::Identity());
      parent->AttachChild(group);
      ++tree.nodes;
      Grow(tree, group, depth + 1, branching, count, a, a + step);
    }
  }
}

Tree MakeTree(int count) {
  Tree tree;
  int branching = 2;
  while (std::pow(branching, 6) < count) ++branching;
  tree.root = new SceneNode(String("root"), 0, branching);
  Grow(tree, tree.root.Get(), 1, branching, count, -100, 100);
  return tree;
}

void BM_SceneUpdateAndCull(benchmark::State& state) {
  EngineSession engine;
  if (!engine.Started()) return state.SkipWithError("engine start failed");
  Tree tree = MakeTree(static_cast<int>(state.range(0)));
  BenchContext context;
  for (auto _ : state) {
    tree.drawn = 0;
    tree.root->UpdateGeometricState(1.0 / 60, true);
    tree.root->Draw(&context);
    benchmark::DoNotOptimize(tree.drawn);
  }
  state.counters["nodes"] = tree.nodes;
  state.counters["visible_leaves"] = static_cast<double>(tree.drawn) / tree.leaves;
  state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(state.iterations()) * tree.nodes,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SceneUpdateAndCull)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SceneUpdateOnly(benchmark::State& state) {
  EngineSession engine;
  if (!engine.Started()) return state.SkipWithError("engine start failed");
  Tree tree = MakeTree(static_cast<int>(state.range(0)));
  for (auto _ : state) tree.root->UpdateGeometricState(1.0 / 60, true);
  state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(state.iterations()) * tree.nodes,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SceneUpdateOnly)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Loading a stored tree of scene nodes: each child's subtree is walked once
// as it is attached, to refuse children that would hold their parent.
void BM_SceneLoad(benchmark::State& state) {
  EngineSession engine;
  if (!engine.Started()) return state.SkipWithError("engine start failed");
  const int count = static_cast<int>(state.range(0));
  int branching = 2;
  while (std::pow(branching, 6) < count) ++branching;
  Ref<SceneNode> root(new SceneNode(String("root"), 0, branching));
  std::vector<SceneNode*> level{root.Get()};
  int nodes = 1;
  for (int depth = 0; depth < 6 && nodes < count; ++depth) {
    std::vector<SceneNode*> next;
    for (SceneNode* parent : level) {
      for (int i = 0; i < branching && nodes < count; ++i, ++nodes) {
        auto* child = new SceneNode(String("n"), 0, branching);
        parent->AttachChild(child);
        next.push_back(child);
      }
    }
    level = std::move(next);
  }
  MemoryStream stored(1 << 20, 1 << 20);
  if (stored.WriteObject(root.Get()) != kOk) {
    state.SkipWithError("the tree cannot be stored");
    return;
  }
  const int32_t size = stored.GetPosition();
  for (auto _ : state) {
    MemoryStream stream(1 << 20, 1 << 20);
    stream.Write(stored.GetBuffer(), size);
    stream.SetPosition(0);
    Object* loaded = nullptr;
    if (stream.ReadObject(loaded) != kOk) {
      state.SkipWithError("the stored tree does not load");
      break;
    }
    Ref<Object> hold(loaded);
    benchmark::DoNotOptimize(loaded);
  }
  state.counters["nodes"] = nodes;
  state.counters["ns_per_node"] = benchmark::Counter(static_cast<double>(state.iterations()) * nodes,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SceneLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

std::vector<Vector3> Points(int count) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(-50, 50);
  std::vector<Vector3> points(static_cast<size_t>(count));
  for (Vector3& p : points) p = {value(random), value(random), value(random)};
  return points;
}

void BM_PointBoundsPlain(benchmark::State& state) {
  const std::vector<Vector3> points = Points(static_cast<int>(state.range(0)));
  Vector3 low, high;
  for (auto _ : state) {
    PointBoundsPlain(points.data(), static_cast<int32_t>(points.size()), &low, &high);
    benchmark::DoNotOptimize(low);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points.size()));
}

void BM_PointBoundsSimd(benchmark::State& state) {
  const std::vector<Vector3> points = Points(static_cast<int>(state.range(0)));
  Vector3 low, high;
  for (auto _ : state) {
    PointBoundsSimd(points.data(), static_cast<int32_t>(points.size()), &low, &high);
    benchmark::DoNotOptimize(low);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points.size()));
  state.counters["simd"] = PointBoundsHasSimd() ? 1 : 0;
}

void BM_SphereGenerateFromVertices(benchmark::State& state) {
  EngineSession engine;
  if (!engine.Started()) return state.SkipWithError("engine start failed");
  const std::vector<Vector3> points = Points(static_cast<int>(state.range(0)));
  Ref<SphereBoundingVolume> sphere(new SphereBoundingVolume());
  for (auto _ : state) sphere->GenerateFromVertices(points.data(), static_cast<int32_t>(points.size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points.size()));
}

BENCHMARK(BM_PointBoundsPlain)->Arg(1 << 20);
BENCHMARK(BM_PointBoundsSimd)->Arg(1 << 20);
BENCHMARK(BM_SphereGenerateFromVertices)->Arg(1 << 20);

}  // namespace
