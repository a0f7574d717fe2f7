// Saving and loading a wide object graph: one group holding 100,000 small
// objects, each linking to one of 1,000 shared objects (every link after a
// shared object's first is a bare ID). Reports objects per second and bytes
// per second in both directions, with no log output and with the log file
// the program always writes (every object read or written logs two lines).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "core/file_message_output.h"
#include "core/lifecycle.h"
#include "core/memory_stream.h"

namespace {

using namespace klx;

class BenchLeaf : public Object {
  KLX_DECLARE_CLASS(BenchLeaf)

 public:
  explicit BenchLeaf(const String& name) : Object(name) {}
  int Save(MemoryStream& stream) override {
    if (Object::Save(stream) != kOk || stream.WriteObject(shared.Get()) != kOk) return kFailed;
    return stream.WriteVector3(position) == kOk ? kOk : kFailed;
  }
  int Load(MemoryStream& stream) override {
    if (Object::Load(stream) != kOk) return kFailed;
    Object* link = nullptr;
    const int result = stream.ReadObject(link);
    shared = link;
    if (result != kOk) return kFailed;
    return stream.ReadVector3(position) == kOk ? kOk : kFailed;
  }
  Ref<Object> shared;
  Vector3 position;
};

class BenchGroup : public Object {
  KLX_DECLARE_CLASS(BenchGroup)

 public:
  explicit BenchGroup(const String& name) : Object(name) {}
  int Save(MemoryStream& stream) override {
    if (Object::Save(stream) != kOk) return kFailed;
    return stream.WriteObjectArray(children);
  }
  int Load(MemoryStream& stream) override {
    if (Object::Load(stream) != kOk) return kFailed;
    return stream.ReadObjectArray(children);
  }
  Array<Ref<Object>> children{1, 1024};
};

KLX_IMPLEMENT_CLASS_WITH(BenchLeaf, Object, "BENCH.Leaf", ::klx::detail::CreateInstance<BenchLeaf>)
KLX_IMPLEMENT_CLASS_WITH(BenchGroup, Object, "BENCH.Group", ::klx::detail::CreateInstance<BenchGroup>)

class ReadStream : public MemoryStream {
 public:
  ReadStream(const uint8_t* bytes, int32_t size) : MemoryStream(0, 1024) { Reset(bytes, size); }
};

constexpr int kObjects = 100000;
constexpr int kShared = 1000;

Ref<BenchGroup> MakeGraph() {
  Ref<BenchGroup> group(new BenchGroup(String("group")));
  std::vector<Ref<BenchLeaf>> shared;
  for (int i = 0; i < kShared; ++i) shared.emplace_back(new BenchLeaf(String("shared")));
  for (int i = 0; i < kObjects; ++i) {
    auto* leaf = new BenchLeaf(String("leaf"));
    leaf->shared = shared[static_cast<size_t>(i % kShared)].Get();
    leaf->position = {float(i), 1, 2};
    group->children.Append(leaf);
  }
  return group;
}

// Registers a log file output for the benchmark's lifetime when asked to.
struct LogScope {
  explicit LogScope(bool withLog) {
    if (withLog) {
      output = new FileMessageOutput(String("/tmp/klx_bench_stream.log"), String());
      RegisterMessageOutput(output.Get());
    }
  }
  ~LogScope() {
    if (output) UnregisterMessageOutput(output.Get());
    output = nullptr;
    std::remove("/tmp/klx_bench_stream.log");
  }
  Ref<FileMessageOutput> output;
};

void Report(benchmark::State& state, int64_t bytes) {
  const int objects = kObjects + kShared + 1;
  state.counters["objects/s"] =
      benchmark::Counter(objects, benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_SaveWideGraph(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  LogScope log(state.range(0) != 0);
  Ref<BenchGroup> graph = MakeGraph();
  int64_t bytes = 0;
  for (auto _ : state) {
    MemoryStream out(0, 1 << 20);
    out.WriteObject(graph.Get());
    bytes = out.GetPosition();
  }
  Report(state, bytes);
  graph = nullptr;
  EngineStop();
}
BENCHMARK(BM_SaveWideGraph)->Arg(0)->Arg(1)->ArgName("log")->Unit(benchmark::kMillisecond);

void BM_LoadWideGraph(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  std::vector<uint8_t> bytes;
  {
    Ref<BenchGroup> graph = MakeGraph();
    MemoryStream out(0, 1 << 20);
    out.WriteObject(graph.Get());
    bytes.assign(out.GetBuffer(), out.GetBuffer() + out.GetPosition());
  }
  LogScope log(state.range(0) != 0);
  for (auto _ : state) {
    ReadStream in(bytes.data(), static_cast<int32_t>(bytes.size()));
    Object* root = nullptr;
    benchmark::DoNotOptimize(in.ReadObject(root));
    benchmark::DoNotOptimize(root);
  }
  Report(state, static_cast<int64_t>(bytes.size()));
  EngineStop();
}
BENCHMARK(BM_LoadWideGraph)->Arg(0)->Arg(1)->ArgName("log")->Unit(benchmark::kMillisecond);

}  // namespace
