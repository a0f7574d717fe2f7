#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "random.h"

namespace klx::scenebuild {

using content::SoundSamples;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;

double NoteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// A loop being rendered: samples added past the end wrap to the start.
class Loop {
 public:
  Loop(double seconds, int channels) : channels_(channels), frames_(static_cast<int64_t>(seconds * kRate)) {
    samples_.assign(static_cast<size_t>(frames_ * channels), 0.0);
  }
  int64_t Frames() const { return frames_; }
  void Add(int64_t frame, int channel, double value) {
    const int64_t at = ((frame % frames_) + frames_) % frames_;
    samples_[static_cast<size_t>(at * channels_ + channel)] += value;
  }
  // A tone with harmonics, an attack and a release, panned (-1 left .. 1 right).
  void Tone(double start, double length, double frequency, double amplitude, double attack, double release,
            double pan, int harmonics, double brightness) {
    const int64_t first = static_cast<int64_t>(start * kRate);
    const int64_t count = static_cast<int64_t>((length + release) * kRate);
    const double left = std::sqrt(0.5 * (1.0 - pan)), right = std::sqrt(0.5 * (1.0 + pan));
    for (int64_t i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / kRate;
      double envelope = std::min(1.0, t / attack);
      if (t > length) envelope *= std::exp(-(t - length) * 4.0 / release);
      double value = 0.0;
      for (int k = 1; k <= harmonics; ++k) {
        value += std::sin(2.0 * kPi * frequency * k * t) / std::pow(static_cast<double>(k), brightness);
      }
      value *= amplitude * envelope;
      Add(first + i, 0, value * left);
      if (channels_ == 2) Add(first + i, 1, value * right);
    }
  }
  // A plucked note: quick attack, exponential decay.
  void Pluck(double start, double frequency, double amplitude, double decay, double pan) {
    const int64_t first = static_cast<int64_t>(start * kRate);
    const int64_t count = static_cast<int64_t>(decay * 5.0 * kRate);
    const double left = std::sqrt(0.5 * (1.0 - pan)), right = std::sqrt(0.5 * (1.0 + pan));
    for (int64_t i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double envelope = std::min(1.0, t / 0.004) * std::exp(-t / decay);
      const double value = amplitude * envelope *
                           (std::sin(2.0 * kPi * frequency * t) + 0.35 * std::sin(4.0 * kPi * frequency * t) * std::exp(-t / (decay * 0.4)) +
                            0.12 * std::sin(6.0 * kPi * frequency * t) * std::exp(-t / (decay * 0.2)));
      Add(first + i, 0, value * left);
      if (channels_ == 2) Add(first + i, 1, value * right);
    }
  }
  SoundSamples Finish(double peak) const {
    double largest = 1e-9;
    for (double v : samples_) largest = std::max(largest, std::fabs(v));
    SoundSamples sound;
    sound.channels = channels_;
    sound.rate = kRate;
    sound.samples.reserve(samples_.size());
    for (double v : samples_) sound.samples.push_back(static_cast<float>(v / largest * peak));
    return sound;
  }

 private:
  int channels_;
  int64_t frames_;
  std::vector<double> samples_;
};

// Low-passed white noise, as many frames as the loop, made circular by
// running the filter over the loop twice and keeping the second pass.
std::vector<double> CircularNoise(int64_t frames, double smoothing, uint64_t seed) {
  content::Random random(seed);
  std::vector<double> white(static_cast<size_t>(frames));
  for (double& v : white) v = random.Range(-1.0f, 1.0f);
  std::vector<double> out(white.size());
  double state = 0.0;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < white.size(); ++i) {
      state += (white[i] - state) * smoothing;
      out[i] = state;
    }
  }
  return out;
}

}  // namespace

SoundSamples SynthesizeMusic() {
  // Two sections of eight chords, eight seconds each: 128 seconds before it
  // repeats. The first: A minor, F, C, G, A minor, F, D minor, E. The
  // second climbs higher and ends on E, which leads back to the first.
  const double chordSeconds = 8.0;
  constexpr int kChords = 16;
  const int chords[kChords][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62},
                                  {57, 60, 64}, {53, 57, 60}, {50, 53, 57}, {52, 56, 59},
                                  {53, 57, 60}, {55, 59, 62}, {52, 55, 59}, {57, 60, 64},
                                  {50, 53, 57}, {55, 59, 62}, {48, 52, 55}, {52, 56, 59}};
  Loop loop(chordSeconds * kChords, 2);
  content::Random random(2026);
  for (int c = 0; c < kChords; ++c) {
    const bool second = c >= 8;
    const double start = c * chordSeconds;
    for (int n = 0; n < 3; ++n) {
      const double f = NoteFrequency(chords[c][n]);
      // Two slightly detuned voices, one to each side.
      loop.Tone(start, chordSeconds, f * 1.0015, 0.10, 1.8, 2.5, -0.6 + 0.3 * n, 6, 1.6);
      loop.Tone(start, chordSeconds, f * 0.9985, 0.10, 2.2, 2.5, 0.6 - 0.3 * n, 6, 1.6);
    }
    // The bass: the root twice per chord; in the second section the root
    // and then the fifth.
    for (int b = 0; b < 2; ++b) {
      const int bass = chords[c][0] - 12 + (second && b == 1 ? 7 : 0);
      loop.Pluck(start + b * 4.0, NoteFrequency(bass), 0.32, 1.6, 0.0);
    }
    // The melody: chord tones and the notes between them, an octave up;
    // sparser and higher in the second section, in longer notes.
    const int scale[5] = {0, 2, 3, 7, 10};
    const double step = second ? 1.0 : 0.5;
    for (int beat = 0; beat < static_cast<int>(chordSeconds / step); ++beat) {
      if (random.Unit() < (second ? 0.25f : 0.3f)) continue;
      const int octave = second ? (random.Unit() < 0.6f ? 12 : 0) : (random.Unit() < 0.3f ? 12 : 0);
      const int note = chords[c][0] + 12 + scale[random.Int(0, 5)] + octave;
      loop.Pluck(start + beat * step, NoteFrequency(note), 0.16, second ? 1.1 : 0.7, random.Range(-0.5f, 0.5f));
    }
  }
  return loop.Finish(0.8);
}

SoundSamples SynthesizeEngineHum() {
  Loop loop(4.0, 1);
  const int64_t frames = loop.Frames();
  const std::vector<double> rumble = CircularNoise(frames, 0.02, 5);
  for (int64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    // 40 Hz firing with its harmonics, a 10 Hz throb: whole cycles in four seconds.
    double value = 0.0;
    for (int k = 1; k <= 8; ++k) value += std::sin(2.0 * kPi * 40.0 * k * t + k * 0.7) / k;
    value *= 0.8 + 0.2 * std::sin(2.0 * kPi * 10.0 * t);
    loop.Add(i, 0, value + 6.0 * rumble[static_cast<size_t>(i)]);
  }
  return loop.Finish(0.7);
}

SoundSamples SynthesizeFire() {
  Loop loop(6.0, 1);
  const int64_t frames = loop.Frames();
  const std::vector<double> roar = CircularNoise(frames, 0.01, 9);
  for (int64_t i = 0; i < frames; ++i) loop.Add(i, 0, 8.0 * roar[static_cast<size_t>(i)]);
  content::Random random(13);
  for (int pop = 0; pop < 150; ++pop) {
    const int64_t start = random.Int(0, static_cast<int32_t>(frames));
    const double amplitude = random.Range(0.2f, 1.0f);
    const double decay = random.Range(0.001f, 0.006f);
    for (int64_t i = 0; i < static_cast<int64_t>(decay * 6 * kRate); ++i) {
      const double t = static_cast<double>(i) / kRate;
      loop.Add(start + i, 0, amplitude * std::exp(-t / decay) * random.Range(-1.0f, 1.0f));
    }
  }
  return loop.Finish(0.6);
}

SoundSamples SynthesizeWaves() {
  Loop loop(8.0, 1);
  const int64_t frames = loop.Frames();
  const std::vector<double> hiss = CircularNoise(frames, 0.15, 21);
  const std::vector<double> body = CircularNoise(frames, 0.03, 22);
  for (int64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    // Wavelets every two seconds and a slower swell; whole cycles in the loop.
    const double lap = std::pow(0.5 + 0.5 * std::sin(2.0 * kPi * t / 2.0), 3.0);
    const double swell = 0.6 + 0.4 * std::sin(2.0 * kPi * t / 8.0);
    const size_t at = static_cast<size_t>(i);
    loop.Add(i, 0, (hiss[at] * 1.5 + body[at] * 4.0) * (0.25 + lap) * swell);
  }
  return loop.Finish(0.5);
}

SoundSamples SynthesizeChirps() {
  Loop loop(0.8, 1);
  for (int chirp = 0; chirp < 3; ++chirp) {
    const double start = 0.05 + chirp * 0.16;
    for (int64_t i = 0; i < static_cast<int64_t>(0.09 * kRate); ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double envelope = std::sin(kPi * t / 0.09);
      // A rising sweep: the phase of a frequency going 3.2 to 4.6 kHz.
      const double phase = 2.0 * kPi * (3200.0 * t + 0.5 * (1400.0 / 0.09) * t * t);
      loop.Add(static_cast<int64_t>(start * kRate) + i, 0, envelope * std::sin(phase));
    }
  }
  return loop.Finish(0.5);
}

SoundSamples SynthesizeTrill() {
  Loop loop(1.0, 1);
  for (int64_t i = 0; i < static_cast<int64_t>(0.75 * kRate); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double envelope = std::sin(kPi * t / 0.75) * (0.6 + 0.4 * std::sin(2.0 * kPi * 18.0 * t));
    const double phase = 2.0 * kPi * 2900.0 * t + 6.0 * std::sin(2.0 * kPi * 28.0 * t);
    loop.Add(static_cast<int64_t>(0.1 * kRate) + i, 0, envelope * std::sin(phase));
  }
  return loop.Finish(0.45);
}

}  // namespace klx::scenebuild
