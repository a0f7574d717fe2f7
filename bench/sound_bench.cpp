// Sound: what the engine's start costs with the audio library (write it to
// a memory file, load it, open the output), creating a stream over a
// minute of Ogg Vorbis music, and how fast the decoder runs against real
// time (the mixing thread must stay far ahead of playback). OpenAL Soft's
// silent "null" output unless ALSOFT_DRIVERS names another.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "audio_library/sound_decoder.h"
#include "core/lifecycle.h"
#include "core/result.h"
#include "sound/sound_manager.h"
#include "ogg_encoder.h"

namespace klx {
namespace {

// OpenAL Soft reads its settings once per process, and the other
// benchmarks start the engine too: choose the silent output before main().
[[maybe_unused]] const bool kSilentOutput = [] {
  if (std::getenv("ALSOFT_DRIVERS") == nullptr) setenv("ALSOFT_DRIVERS", "null", 1);
  return true;
}();

// A minute of stereo music-like sound: a chord whose notes change each second.
const std::vector<uint8_t>& MinuteOfMusic() {
  static const std::vector<uint8_t> ogg = [] {
    content::SoundSamples sound;
    sound.channels = 2;
    const double notes[] = {220.0, 277.2, 329.6, 392.0, 440.0, 493.9};
    for (int64_t i = 0; i < 60 * 44100; ++i) {
      const int second = static_cast<int>(i / 44100);
      const double t = static_cast<double>(i) / 44100.0;
      const float value = static_cast<float>(0.3 * std::sin(2.0 * M_PI * notes[second % 6] * t) +
                                             0.2 * std::sin(4.0 * M_PI * notes[(second + 2) % 6] * t));
      sound.samples.push_back(value);
      sound.samples.push_back(value);
    }
    return content::EncodeOggVorbis(sound, 0.4f);
  }();
  return ogg;
}

void BM_EngineStartAndStopWithSound(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(EngineStart());
    benchmark::DoNotOptimize(SoundManager::Audio());
    EngineStop();
  }
}
BENCHMARK(BM_EngineStartAndStopWithSound)->Unit(benchmark::kMillisecond);

void BM_StreamOverAMinuteOfMusic(benchmark::State& state) {
  const std::vector<uint8_t>& ogg = MinuteOfMusic();
  if (EngineStart() != klx::kOk) return state.SkipWithError("engine start failed");
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio == nullptr || audio->GetDevice() != 1) {
    state.SkipWithError("no audio device");
  } else {
    for (auto _ : state) {
      const HSTREAM stream = audio->StreamCreateFile(1, ogg.data(), 0, ogg.size(), BASS_SAMPLE_LOOP);
      audio->ChannelPlay(stream, 0);  // decodes the first buffers
      audio->StreamFree(stream);
    }
  }
  state.counters["ogg_kb"] = static_cast<double>(ogg.size()) / 1024.0;
  EngineStop();
}
BENCHMARK(BM_StreamOverAMinuteOfMusic)->Unit(benchmark::kMillisecond);

void BM_OggDecodeSpeed(benchmark::State& state) {
  const std::vector<uint8_t>& ogg = MinuteOfMusic();
  std::vector<int16_t> frames(4096 * 2);
  int64_t decoded = 0;
  for (auto _ : state) {
    auto decoder = audio::OpenSoundDecoder(ogg.data(), ogg.size());
    int64_t read = 0;
    while ((read = decoder->Read(frames.data(), 4096)) > 0) decoded += read;
  }
  // Seconds of sound decoded per second of work.
  state.counters["x_real_time"] =
      benchmark::Counter(static_cast<double>(decoded) / 44100.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OggDecodeSpeed)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace klx
