#pragma once
// Sounds made in the test (16-bit PCM wave files, and Ogg Vorbis through
// the content library's encoder) and the analysis of what OpenAL Soft's wave backend
// wrote: the audio tests run with a per-process configuration that sends
// all output to a WAV file instead of a sound card.

#include <cstdint>
#include <string>
#include <vector>

#include "ogg_encoder.h"

namespace klx::test {

using content::SoundSamples;

// A sine tone of `seconds` at `amplitude`, appended to `sound`.
void AppendTone(SoundSamples& sound, double seconds, double frequency, double amplitude);
void AppendSilence(SoundSamples& sound, double seconds);

std::vector<uint8_t> EncodeWave(const SoundSamples& sound);
using content::EncodeOggVorbis;

// Where the wave backend writes, set up by the audio tests' main().
const std::string& CaptureWavePath();
// Writes the OpenAL configuration for this process and points ALSOFT_CONF
// at it; call before anything opens an audio device.
void ConfigureWaveCapture();

// The captured output: stereo frames, left and right in -1..1.
struct CapturedAudio {
  int rate = 0;
  std::vector<float> left;
  std::vector<float> right;
  int64_t Frames() const { return static_cast<int64_t>(left.size()); }
  // Root mean square of one channel (0 left, 1 right) over the whole capture
  // or a window of frames.
  double Rms(int channel) const { return Rms(channel, 0, Frames()); }
  double Rms(int channel, int64_t first, int64_t count) const;
};

// Reads the wave backend's file (16-bit or float samples). False when it is
// missing or malformed.
bool ReadCapturedWave(const std::string& path, CapturedAudio* audio);

// Seconds of the capture, in 5 ms blocks, whose loudness (the louder
// channel's RMS) lies within [low, high).
double SecondsWithin(const CapturedAudio& audio, double low, double high);

}  // namespace klx::test
