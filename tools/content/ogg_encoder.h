#pragma once
// Ogg Vorbis encoding with libvorbisenc, for the content the build makes
// and for the tests' sounds. The same samples, quality and serial number
// give the same bytes.

#include <cstdint>
#include <vector>

namespace klx::content {

// Samples in -1..1, interleaved when there are two channels.
struct SoundSamples {
  int channels = 1;
  int rate = 44100;
  std::vector<float> samples;
  int64_t Frames() const { return static_cast<int64_t>(samples.size()) / channels; }
};

// Quality -0.1 (smallest) to 1.0 (best). Empty on an encoder error.
std::vector<uint8_t> EncodeOggVorbis(const SoundSamples& sound, float quality = 0.3f, int serial = 1234);

}  // namespace klx::content
