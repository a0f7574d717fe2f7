#include "mixed_corpus.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "core/little_endian.h"
namespace klx::bench {

namespace {

// Prose from a vocabulary drawn with a Zipf-like law, in sentences and
// paragraphs.
std::vector<uint8_t> MakeText(size_t size, std::mt19937& random) {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "a", "in", "is", "it", "that", "was", "for", "on", "are", "with", "as",
      "his", "they", "be", "at", "one", "have", "this", "from", "by", "hot", "word", "but", "what", "some",
      "we", "can", "out", "other", "were", "all", "there", "when", "up", "use", "your", "how", "said",
      "an", "each", "she", "which", "do", "their", "time", "if", "will", "way", "about", "many", "then",
      "them", "write", "would", "like", "so", "these", "her", "long", "make", "thing", "see", "him",
      "two", "has", "look", "more", "day", "could", "go", "come", "did", "number", "sound", "no", "most",
      "people", "my", "over", "know", "water", "than", "call", "first", "who", "may", "down", "side",
      "been", "now", "find", "lake", "forest", "river", "mountain", "evening", "light", "shadow",
      "reflection", "surface", "wind", "grass", "bridge", "boat", "island", "morning", "stone", "cloud",
      "village", "harbour", "lantern", "meadow", "silver", "quietly", "slowly", "across", "beneath"};
  constexpr size_t kCount = sizeof(kWords) / sizeof(kWords[0]);
  std::vector<double> weights(kCount);
  for (size_t i = 0; i < kCount; ++i) weights[i] = 1.0 / static_cast<double>(i + 1);
  std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
  std::uniform_int_distribution<int> sentenceLength(4, 18);
  std::uniform_int_distribution<int> paragraphLength(3, 8);
  std::string text;
  text.reserve(size + 256);
  while (text.size() < size) {
    const int sentences = paragraphLength(random);
    for (int s = 0; s < sentences && text.size() < size; ++s) {
      const int words = sentenceLength(random);
      for (int w = 0; w < words; ++w) {
        std::string word = kWords[pick(random)];
        if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        text += word;
        text += w + 1 == words ? ". " : (random() % 11 == 0 ? ", " : " ");
      }
    }
    text += "\n\n";
  }
  text.resize(size);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A stereo 16-bit wave: a few voices with harmonics and slow envelopes over
// a little noise, like recorded music.
std::vector<uint8_t> MakeWave(size_t size, std::mt19937& random) {
  constexpr uint32_t kRate = 44100;
  const size_t frames = (size - 44) / 4;
  std::vector<uint8_t> out;
  out.reserve(44 + frames * 4);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  AppendLE32(out, static_cast<uint32_t>(36 + frames * 4));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  AppendLE32(out, 16);
  AppendLE16(out, 1);
  AppendLE16(out, 2);
  AppendLE32(out, kRate);
  AppendLE32(out, kRate * 4);
  AppendLE16(out, 4);
  AppendLE16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  AppendLE32(out, static_cast<uint32_t>(frames * 4));
  std::normal_distribution<double> noise(0.0, 60.0);
  const double notes[] = {220.0, 277.18, 329.63, 440.0, 554.37};
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double left = 0;
    double right = 0;
    for (int v = 0; v < 5; ++v) {
      const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * (0.2 + 0.07 * v) * t + v);
      const double tone = std::sin(2 * M_PI * notes[v] * t) + 0.3 * std::sin(4 * M_PI * notes[v] * t);
      left += envelope * tone * (v % 2 == 0 ? 1500 : 900);
      right += envelope * tone * (v % 2 == 0 ? 900 : 1500);
    }
    AppendLE16(out, static_cast<uint32_t>(static_cast<int16_t>(left + noise(random))) & 0xFFFF);
    AppendLE16(out, static_cast<uint32_t>(static_cast<int16_t>(right + noise(random))) & 0xFFFF);
  }
  return out;
}

// An uncompressed 24-bit BMP: sky gradient, hills, a sun, and grain.
std::vector<uint8_t> MakeImage(int width, int height, std::mt19937& random) {
  const uint32_t row = static_cast<uint32_t>((width * 3 + 3) & ~3);
  std::vector<uint8_t> out;
  out.reserve(54 + row * height);
  out.insert(out.end(), {'B', 'M'});
  AppendLE32(out, 54 + row * static_cast<uint32_t>(height));
  AppendLE32(out, 0);
  AppendLE32(out, 54);
  AppendLE32(out, 40);
  AppendLE32(out, static_cast<uint32_t>(width));
  AppendLE32(out, static_cast<uint32_t>(height));
  AppendLE16(out, 1);
  AppendLE16(out, 24);
  for (int i = 0; i < 6; ++i) AppendLE32(out, 0);
  std::uniform_int_distribution<int> grain(-6, 6);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double hill = height * (0.35 + 0.08 * std::sin(x * 0.013) + 0.04 * std::sin(x * 0.047 + 1.0));
      const double dx = x - width * 0.7;
      const double dy = y - height * 0.75;
      int r, g, b;
      if (dx * dx + dy * dy < (height * 0.08) * (height * 0.08)) {
        r = 250, g = 220, b = 120;
      } else if (y < hill) {
        r = 40 + (x * 13 / width) * 4, g = 110 + (y * 60 / height), b = 50;
      } else {
        r = 90 + y * 100 / height, g = 140 + y * 90 / height, b = 200 + y * 50 / height;
      }
      const int n = grain(random);
      out.push_back(static_cast<uint8_t>(std::clamp(b + n, 0, 255)));
      out.push_back(static_cast<uint8_t>(std::clamp(g + n, 0, 255)));
      out.push_back(static_cast<uint8_t>(std::clamp(r + n, 0, 255)));
    }
    for (uint32_t pad = static_cast<uint32_t>(width * 3); pad < row; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace

std::vector<CorpusFile> MakeMixedCorpus(size_t totalBytes) {
  std::mt19937 random(20261209);
  std::vector<CorpusFile> files;
  const size_t text = totalBytes * 30 / 100;
  const size_t wave = totalBytes * 25 / 100;
  const size_t noise = totalBytes * 15 / 100;
  files.push_back({"docs\\story.txt", MakeText(text * 2 / 3, random)});
  files.push_back({"docs\\notes.txt", MakeText(text / 3, random)});
  files.push_back({"sound\\ambience.wav", MakeWave(wave, random)});
  std::vector<uint8_t> randomBytes(noise);
  for (uint8_t& b : randomBytes) b = static_cast<uint8_t>(random());
  files.push_back({"data\\random.bin", std::move(randomBytes)});
  // The rest in images of 1024 x 768 (about 2.3 MB each) and one smaller.
  size_t used = text + wave + noise;
  int index = 0;
  while (used + 100000 < totalBytes) {
    const size_t left = totalBytes - used;
    const int height = left >= 1024 * 768 * 3 ? 768 : static_cast<int>(left / (1024 * 3));
    files.push_back({"textures\\scene" + std::to_string(index++) + ".bmp", MakeImage(1024, height, random)});
    used += files.back().bytes.size();
  }
  return files;
}

}  // namespace klx::bench
