#include "support/sound_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace klx::test {

void AppendTone(SoundSamples& sound, double seconds, double frequency, double amplitude) {
  const int64_t frames = static_cast<int64_t>(seconds * sound.rate);
  const int64_t start = sound.Frames();
  for (int64_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(start + i) / sound.rate;
    const float value = static_cast<float>(amplitude * std::sin(2.0 * M_PI * frequency * t));
    for (int c = 0; c < sound.channels; ++c) sound.samples.push_back(value);
  }
}

void AppendSilence(SoundSamples& sound, double seconds) {
  const int64_t frames = static_cast<int64_t>(seconds * sound.rate);
  sound.samples.insert(sound.samples.end(), static_cast<size_t>(frames * sound.channels), 0.0f);
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Get32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::vector<uint8_t> EncodeWave(const SoundSamples& sound) {
  const uint32_t dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
  std::vector<uint8_t> out;
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(sound.channels));
  Put32(out, static_cast<uint32_t>(sound.rate));
  Put32(out, static_cast<uint32_t>(sound.rate * sound.channels * 2));
  Put16(out, static_cast<uint32_t>(sound.channels * 2));
  Put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, dataBytes);
  for (float s : sound.samples) {
    const int v = static_cast<int>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
    Put16(out, static_cast<uint32_t>(static_cast<uint16_t>(v)));
  }
  return out;
}

const std::string& CaptureWavePath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/klx-audio-test-" +
           std::to_string(getpid()) + ".wav";
  }();
  return path;
}

void ConfigureWaveCapture() {
  const std::string config = CaptureWavePath() + ".conf";
  std::ofstream out(config);
  out << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\nfrequency=44100\nhrtf=false\n"
      << "stereo-mode=speakers\n[wave]\nfile=" << CaptureWavePath() << "\n";
  out.close();
  setenv("ALSOFT_CONF", config.c_str(), 1);
  unsetenv("ALSOFT_DRIVERS");
  setenv("ALSOFT_LOGLEVEL", "0", 1);
}

double CapturedAudio::Rms(int channel, int64_t first, int64_t count) const {
  const std::vector<float>& samples = channel == 0 ? left : right;
  first = std::clamp<int64_t>(first, 0, Frames());
  count = std::clamp<int64_t>(count, 0, Frames() - first);
  if (count == 0) return 0.0;
  double sum = 0.0;
  for (int64_t i = first; i < first + count; ++i) sum += double(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

bool ReadCapturedWave(const std::string& path, CapturedAudio* audio) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return false;
  int channels = 0, bits = 0;
  bool isFloat = false;
  size_t at = 12;
  while (at + 8 <= bytes.size()) {
    const uint8_t* chunk = bytes.data() + at;
    const uint32_t length = Get32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && at + 8 + 16 <= bytes.size()) {
      uint16_t tag = Get16(chunk + 8);
      channels = Get16(chunk + 10);
      audio->rate = static_cast<int>(Get32(chunk + 12));
      bits = Get16(chunk + 22);
      if (tag == 0xFFFE && length >= 40 && at + 8 + 40 <= bytes.size()) tag = Get16(chunk + 8 + 24);
      isFloat = tag == 3;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (channels < 1 || (bits != 16 && !(isFloat && bits == 32))) return false;
      // The backend may not have patched the sizes; read to the end.
      const size_t frameBytes = static_cast<size_t>(channels) * bits / 8;
      const size_t frames = (bytes.size() - at - 8) / frameBytes;
      for (size_t i = 0; i < frames; ++i) {
        const uint8_t* frame = chunk + 8 + i * frameBytes;
        float values[2] = {0, 0};
        for (int c = 0; c < std::min(channels, 2); ++c) {
          if (isFloat) {
            std::memcpy(&values[c], frame + c * 4, 4);
          } else {
            values[c] = static_cast<float>(static_cast<int16_t>(Get16(frame + c * 2))) / 32768.0f;
          }
        }
        audio->left.push_back(values[0]);
        audio->right.push_back(channels > 1 ? values[1] : values[0]);
      }
      return true;
    }
    at += 8 + length + (length & 1);
  }
  return false;
}

double SecondsWithin(const CapturedAudio& audio, double low, double high) {
  const int64_t block = audio.rate / 200;
  if (block <= 0) return 0.0;
  int64_t blocks = 0;
  for (int64_t first = 0; first + block <= audio.Frames(); first += block) {
    const double level = std::max(audio.Rms(0, first, block), audio.Rms(1, first, block));
    blocks += level >= low && level < high;
  }
  return static_cast<double>(blocks) / 200.0;
}

}  // namespace klx::test
