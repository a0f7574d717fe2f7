// RAR 2.0: decoding throughput of a 20 MB mixed archive made by our writer at
// method 5, measured against unar extracting the same archive in the same
// run; and the writer's compressed size against gzip -9 and xz -9 on the
// same files.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "engine_session.h"
#include "mixed_corpus.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace {

constexpr size_t kCorpusBytes = 20u << 20;

struct Fixture {
  std::vector<klx::bench::CorpusFile> files;
  size_t inputBytes = 0;
  std::vector<uint8_t> archive;
  double compressSeconds = 0;
  std::filesystem::path folder;  // the files and the archive on disk, for the outside tools
};

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string HostName(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

const Fixture& GetFixture(bool solid) {
  static Fixture fixtures[2];
  Fixture& fixture = fixtures[solid ? 1 : 0];
  if (!fixture.archive.empty()) return fixture;
  fixture.files = klx::bench::MakeMixedCorpus(kCorpusBytes);
  std::vector<klx::rar2tool::ArchiveEntry> entries;
  for (const auto& file : fixture.files) {
    entries.push_back({file.name, false, file.bytes, 0x5A000000});
    fixture.inputBytes += file.bytes.size();
  }
  klx::rar2tool::WriterOptions options;
  options.method = 5;
  options.solid = solid;
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  if (!klx::rar2tool::WriteArchive(entries, options, &fixture.archive, &error)) {
    std::fprintf(stderr, "writer failed: %s\n", error.c_str());
    std::abort();
  }
  fixture.compressSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fixture.folder = std::filesystem::temp_directory_path() / ("klx_rar2_bench_" + std::to_string(getpid()) +
                                                            (solid ? "_solid" : ""));
  for (const auto& file : fixture.files) WriteFile(fixture.folder / "files" / HostName(file.name), file.bytes);
  WriteFile(fixture.folder / "mixed.rar", fixture.archive);
  return fixture;
}

bool HaveCommand(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Best wall time of a shell command over a few runs; negative when it fails.
double TimeCommand(const std::string& command, int runs) {
  double best = -1;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

// Total bytes of `compressor` output over every corpus file.
double CompressedTotal(const Fixture& fixture, const char* compressor) {
  double total = 0;
  for (const auto& file : fixture.files) {
    const std::string command = std::string(compressor) + " -c '" +
                                (fixture.folder / "files" / HostName(file.name)).string() + "' | wc -c";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    long long bytes = 0;
    if (std::fscanf(pipe, "%lld", &bytes) != 1) bytes = -1;
    pclose(pipe);
    if (bytes < 0) return -1;
    total += static_cast<double>(bytes);
  }
  return total;
}

klx::FileCodec* Rar2Codec() {
  klx::Codec* found = nullptr;
  if (klx::CodecManager::LoadCodec(klx::String("RAR2FileCodec"), &found) != klx::kOk) return nullptr;
  return static_cast<klx::FileCodec*>(found);
}

// Mounting the whole archive through the codec: every file decoded, checked
// against its CRC-32 and held in memory.
void DecodeArchive(benchmark::State& state, bool solid) {
  const Fixture& fixture = GetFixture(solid);
  klx::EngineSession engine;
  klx::FileCodec* codec = engine.Started() ? Rar2Codec() : nullptr;
  if (codec == nullptr) return state.SkipWithError("RAR2FileCodec is not available");
  for (auto _ : state) {
    klx::MemoryFile archive{klx::String("mixed.rar2")};
    archive.BorrowContent(fixture.archive.data(), static_cast<int32_t>(fixture.archive.size()));
    klx::VirtualDirectory* tree = nullptr;
    if (codec->Load(&archive, &tree, klx::String()) != klx::kOk) state.SkipWithError("mount failed");
    benchmark::DoNotOptimize(tree);
    delete tree;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fixture.inputBytes));
  state.counters["archive_MB"] = static_cast<double>(fixture.archive.size()) / 1e6;
  state.counters["input_MB"] = static_cast<double>(fixture.inputBytes) / 1e6;
  state.counters["writer_MBps"] = static_cast<double>(fixture.inputBytes) / 1e6 / fixture.compressSeconds;

  // unar on the same archive, writing to a scratch folder.
  if (HaveCommand("unar")) {
    const std::filesystem::path out = fixture.folder / "unar_out";
    const std::string command = "rm -rf '" + out.string() + "' && unar -q -f -o '" + out.string() + "' '" +
                                (fixture.folder / "mixed.rar").string() + "' >/dev/null 2>&1";
    const double seconds = TimeCommand(command, 3);
    if (seconds > 0) {
      const double unarRate = static_cast<double>(fixture.inputBytes) / 1e6 / seconds;
      state.counters["unar_MBps"] = unarRate;
      // Our rate over the same bytes, from the timed loop above.
      state.counters["ours_vs_unar"] = benchmark::Counter(
          static_cast<double>(state.iterations() * fixture.inputBytes) / 1e6 / unarRate,
          benchmark::Counter::kIsRate);
    }
  }
}

void BM_Rar2DecodeMixed20MB(benchmark::State& state) { DecodeArchive(state, false); }
void BM_Rar2DecodeMixed20MBSolid(benchmark::State& state) { DecodeArchive(state, true); }

// Sizes only: the writer at method 5 (plain and solid) against gzip -9 and
// xz -9 run on each file.
void BM_Rar2CompressedSizes(benchmark::State& state) {
  const Fixture& plain = GetFixture(false);
  const Fixture& solid = GetFixture(true);
  for (auto _ : state) benchmark::DoNotOptimize(plain.archive.size());
  state.counters["input_MB"] = static_cast<double>(plain.inputBytes) / 1e6;
  state.counters["rar2_m5_MB"] = static_cast<double>(plain.archive.size()) / 1e6;
  state.counters["rar2_m5_solid_MB"] = static_cast<double>(solid.archive.size()) / 1e6;
  if (HaveCommand("gzip")) state.counters["gzip9_MB"] = CompressedTotal(plain, "gzip -9") / 1e6;
  if (HaveCommand("xz")) state.counters["xz9_MB"] = CompressedTotal(plain, "xz -9") / 1e6;
}

BENCHMARK(BM_Rar2DecodeMixed20MB)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Rar2DecodeMixed20MBSolid)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Rar2CompressedSizes)->Iterations(1);

}  // namespace
