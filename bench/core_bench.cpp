// Core costs that show up at scene load: logging a line (every object read
// logs two), class-name lookups in the factory, and object-link traffic
// through the stream.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "core/controller.h"
#include "core/file_message_output.h"
#include "core/lifecycle.h"
#include "core/memory_stream.h"
#include "core/name_table.h"

namespace {

using namespace klx;

void BM_LogLineToFile(benchmark::State& state) {
  const char* path = "/tmp/klx_bench_log.txt";
  Ref<FileMessageOutput> output(new FileMessageOutput(String(path), String()));
  RegisterMessageOutput(output.Get());
  for (auto _ : state) {
    LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", "KLX.SceneNode", 42, "Root", 1234);
  }
  UnregisterMessageOutput(output.Get());
  output = nullptr;
  std::remove(path);
}
BENCHMARK(BM_LogLineToFile);

void BM_LogLineNoOutputs(benchmark::State& state) {
  for (auto _ : state) LogInfo("Read ID[%d]", 42);
}
BENCHMARK(BM_LogLineNoOutputs);

void BM_NameTableLookup(benchmark::State& state) {
  NameTable<int> table;
  const char* names[] = {"KLX.SceneNode", "KLX.Triangles", "KLX.TextureEffect", "KLX.Camera",
                         "KLX.NodeAnimationController", "KLX.Vector3Buffer", "KLX.Light"};
  int i = 0;
  for (const char* name : names) table.Insert(String(name), i++);
  const String key("KLX.NodeAnimationController");
  for (auto _ : state) benchmark::DoNotOptimize(table.Find(key));
}
BENCHMARK(BM_NameTableLookup);

class BenchController : public Controller {
 public:
  BenchController() : Controller(String("controller")) {}
  const RTTI& GetRTTI() const override { return Controller::TYPE; }
};

// Writes and reads back an object with `range` controllers (no outputs
// registered, so logging costs only the formatting check).
void BM_StreamRoundTrip(benchmark::State& state) {
  if (EngineStart() != kOk) return state.SkipWithError("engine start failed");
  AddCreateFunction(String("KLX.Controller"), [](Object** out) {
    *out = new BenchController;
    return 0;
  });
  Ref<BenchController> root(new BenchController);
  for (int i = 0; i < state.range(0); ++i) (void)root->AttachController(new BenchController);
  for (auto _ : state) {
    MemoryStream out(0, 1024);
    out.WriteObject(root.Get());
    benchmark::DoNotOptimize(out.GetPosition());
  }
  RemoveCreateFunction(String("KLX.Controller"));
  EngineStop();
}
BENCHMARK(BM_StreamRoundTrip)->Arg(16)->Arg(256);

}  // namespace
