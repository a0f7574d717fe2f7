// Image decoding: a 2048×2048 JPEG (quality 85, made here with libjpeg)
// through "JPGImageCodec" against libjpeg called directly on the same bytes,
// and a 2048×2048 32-bit run-length Targa through "TGAImageCodec". Rates are
// of decoded pixel bytes.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "assets/image.h"
#include "core/codec.h"
#include "core/codec_manager.h"
#include "core/lifecycle.h"
#include "engine_session.h"
#include "vfs/memory_file.h"

namespace {

constexpr uint32_t kSide = 2048;
constexpr int kJpegQuality = 85;

// Deterministic pseudo-random numbers (xorshift32).
struct Noise {
  uint32_t state = 0x9E3779B9u;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

uint8_t Clamp(int value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

// A photograph-like RGB picture, top row first: smooth gradients, filled
// circles and rectangles with their own shading, and a little noise.
std::vector<uint8_t> MakePicture() {
  std::vector<uint8_t> rgb(size_t{kSide} * kSide * 3);
  Noise noise;
  for (uint32_t y = 0; y < kSide; ++y) {
    for (uint32_t x = 0; x < kSide; ++x) {
      int r = static_cast<int>(x * 255 / (kSide - 1));
      int g = static_cast<int>(y * 200 / (kSide - 1)) + 30;
      int b = static_cast<int>((x + y) * 255 / (2 * kSide - 2));
      // Circles on a diagonal, shaded by distance from their centre.
      for (int c = 0; c < 5; ++c) {
        const int cx = 300 + c * 360;
        const int cy = 250 + c * 380;
        const int radius = 140 + c * 25;
        const int dx = static_cast<int>(x) - cx;
        const int dy = static_cast<int>(y) - cy;
        const int d2 = dx * dx + dy * dy;
        if (d2 < radius * radius) {
          r = 40 + c * 40;
          g = 220 - c * 30 - d2 / (radius * 8 + 1);
          b = 90 + c * 20;
        }
      }
      // Two flat rectangles, one with a sharp inner border.
      if (x >= 1200 && x < 1800 && y >= 200 && y < 700) {
        const bool border = x < 1220 || x >= 1780 || y < 220 || y >= 680;
        r = border ? 20 : 230;
        g = border ? 20 : 210;
        b = border ? 20 : 60;
      }
      if (x >= 150 && x < 700 && y >= 1300 && y < 1900) {
        r = 200 - static_cast<int>(y - 1300) / 6;
        g = 60;
        b = 150;
      }
      const int n = static_cast<int>(noise.Next() % 13) - 6;
      uint8_t* p = &rgb[(size_t{y} * kSide + x) * 3];
      p[0] = Clamp(r + n);
      p[1] = Clamp(g + n);
      p[2] = Clamp(b - n);
    }
  }
  return rgb;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* encoded = nullptr;
  unsigned long encodedSize = 0;
  jpeg_mem_dest(&info, &encoded, &encodedSize);
  info.image_width = kSide;
  info.image_height = kSide;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kJpegQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = const_cast<uint8_t*>(&rgb[size_t{info.next_scanline} * kSide * 3]);
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> bytes(encoded, encoded + encodedSize);
  std::free(encoded);
  return bytes;
}

const std::vector<uint8_t>& JpegBytes() {
  static const std::vector<uint8_t> bytes = EncodeJpeg(MakePicture());
  return bytes;
}

// libjpeg on its own: the whole picture into one fresh buffer (top row
// first), all remaining rows offered to each read call.
std::unique_ptr<uint8_t[]> DecodeWithLibjpeg(const std::vector<uint8_t>& jpeg, uint32_t* width,
                                             uint32_t* height) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  const size_t row = size_t{info.output_width} * static_cast<size_t>(info.output_components);
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[row * info.output_height]);
  std::vector<JSAMPROW> rows(info.output_height);
  for (uint32_t y = 0; y < info.output_height; ++y) rows[y] = pixels.get() + row * y;
  while (info.output_scanline < info.output_height)
    jpeg_read_scanlines(&info, rows.data() + info.output_scanline, info.output_height - info.output_scanline);
  *width = info.output_width;
  *height = info.output_height;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return pixels;
}

// Mean seconds of one direct libjpeg decode, after one warm-up decode.
double LibjpegSeconds(const std::vector<uint8_t>& jpeg, int runs) {
  uint32_t width = 0;
  uint32_t height = 0;
  benchmark::DoNotOptimize(DecodeWithLibjpeg(jpeg, &width, &height).get());
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) benchmark::DoNotOptimize(DecodeWithLibjpeg(jpeg, &width, &height).get());
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / runs;
}

// A built-in codec by name; the engine must be running.
klx::ImageCodec* ImageCodecNamed(const char* name) {
  klx::Codec* codec = nullptr;
  if (klx::CodecManager::LoadCodec(klx::String(name), &codec) != klx::kOk || codec == nullptr ||
      codec->GetCodecType() != klx::kImageCodecType)
    return nullptr;
  return static_cast<klx::ImageCodec*>(codec);
}

// Decodes the bytes through the codec as a file of that name.
int DecodeThroughCodec(klx::ImageCodec* codec, const char* name, const std::vector<uint8_t>& bytes,
                       klx::Image* image) {
  klx::MemoryFile file{klx::String(name)};
  file.BorrowContent(bytes.data(), static_cast<int32_t>(bytes.size()));
  return codec->Load(&file, image);
}

// Whether the engine's rows (bottom first) are the top-first rows reversed.
bool SameRowsFlipped(const uint8_t* bottomFirst, const uint8_t* topFirst, size_t row, uint32_t height) {
  for (uint32_t y = 0; y < height; ++y)
    if (std::memcmp(bottomFirst + row * y, topFirst + row * (height - 1 - y), row) != 0) return false;
  return true;
}

void BM_JpegDecodeCodec2048(benchmark::State& state) {
  const std::vector<uint8_t>& jpeg = JpegBytes();
  klx::EngineSession engine;
  klx::ImageCodec* codec = engine.Started() ? ImageCodecNamed("JPGImageCodec") : nullptr;
  if (codec == nullptr) {
    state.SkipWithError("JPGImageCodec is not available");
    return;
  }
  klx::Ref<klx::Image> image(new klx::Image(klx::String("bench")));
  // Once before timing: the codec must give libjpeg's pixels, bottom row first.
  uint32_t width = 0;
  uint32_t height = 0;
  const std::unique_ptr<uint8_t[]> reference = DecodeWithLibjpeg(jpeg, &width, &height);
  if (DecodeThroughCodec(codec, "x.jpg", jpeg, image.Get()) != klx::kOk || image->GetWidth() != width ||
      image->GetHeight() != height || image->GetFormat() != klx::kImageRGB8 ||
      !SameRowsFlipped(image->GetPixels(), reference.get(), size_t{width} * 3, height)) {
    state.SkipWithError("the codec's pixels differ from libjpeg's");
    return;
  }
  const double libjpegSeconds = LibjpegSeconds(jpeg, 5);

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (DecodeThroughCodec(codec, "x.jpg", jpeg, image.Get()) != klx::kOk) {
      state.SkipWithError("decoding failed");
      break;
    }
    benchmark::DoNotOptimize(image->GetPixels());
  }
  const double codecSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 3);
  state.counters["jpeg_KB"] = static_cast<double>(jpeg.size()) / 1e3;
  // Wall time of one codec decode over one direct libjpeg decode (mean of 5).
  state.counters["vs_libjpeg"] = codecSeconds / libjpegSeconds;
}

void BM_JpegDecodeLibjpeg2048(benchmark::State& state) {
  const std::vector<uint8_t>& jpeg = JpegBytes();
  for (auto _ : state) {
    uint32_t width = 0;
    uint32_t height = 0;
    benchmark::DoNotOptimize(DecodeWithLibjpeg(jpeg, &width, &height).get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 3);
  state.counters["jpeg_KB"] = static_cast<double>(jpeg.size()) / 1e3;
}

// A 32-bit picture, blue, green, red, alpha, bottom row first as the file
// stores it: flat background and shapes, a noisy band, and sparse specks,
// so the file holds long runs, short runs and literal stretches.
std::vector<uint8_t> MakeTargaPixels() {
  std::vector<uint8_t> bgra(size_t{kSide} * kSide * 4);
  Noise noise;
  for (uint32_t y = 0; y < kSide; ++y) {
    for (uint32_t x = 0; x < kSide; ++x) {
      uint8_t b = 200, g = 160, r = 90, a = 255;
      // Horizontal bands of flat colour, as in a drawn sky.
      const uint32_t band = y / 128;
      b = static_cast<uint8_t>(200 - band * 8);
      g = static_cast<uint8_t>(160 - band * 5);
      const int dx = static_cast<int>(x) - 1024;
      const int dy = static_cast<int>(y) - 1024;
      if (dx * dx + dy * dy < 500 * 500) {
        b = 30;
        g = 200;
        r = 240;
        a = 200;
      }
      if (x >= 200 && x < 900 && y >= 1500 && y < 1900) {
        b = 10;
        g = 10;
        r = static_cast<uint8_t>(x / 8);  // short runs of 8
      }
      const uint32_t random = noise.Next();
      // A noisy band: every pixel differs (literal packets).
      if (y >= 300 && y < 556) {
        b = static_cast<uint8_t>(random);
        g = static_cast<uint8_t>(random >> 8);
        r = static_cast<uint8_t>(random >> 16);
      } else if (random % 50 == 0) {
        r = static_cast<uint8_t>(random >> 24);  // specks that break runs
      }
      uint8_t* p = &bgra[(size_t{y} * kSide + x) * 4];
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = a;
    }
  }
  return bgra;
}

// Run-length Targa (type 10, 32 bits, bottom-left origin): per row, runs of
// two or more equal pixels become repeat packets, the rest literal packets
// of up to 128 pixels.
std::vector<uint8_t> EncodeTargaRunLength(const std::vector<uint8_t>& bgra) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 10;
  out[12] = kSide & 0xFF;
  out[13] = kSide >> 8;
  out[14] = kSide & 0xFF;
  out[15] = kSide >> 8;
  out[16] = 32;
  out[17] = 8;  // eight alpha bits, bottom-left origin
  for (uint32_t y = 0; y < kSide; ++y) {
    const uint8_t* row = &bgra[size_t{y} * kSide * 4];
    auto same = [row](uint32_t i, uint32_t j) { return std::memcmp(row + i * 4, row + j * 4, 4) == 0; };
    uint32_t x = 0;
    while (x < kSide) {
      uint32_t run = 1;
      while (x + run < kSide && run < 128 && same(x, x + run)) ++run;
      if (run >= 2) {
        out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
        out.insert(out.end(), row + x * 4, row + x * 4 + 4);
        x += run;
        continue;
      }
      // Literal stretch: up to the next pair of equal pixels.
      uint32_t count = 1;
      while (x + count < kSide && count < 128 && !(x + count + 1 < kSide && same(x + count, x + count + 1)))
        ++count;
      out.push_back(static_cast<uint8_t>(count - 1));
      out.insert(out.end(), row + x * 4, row + (x + count) * 4);
      x += count;
    }
  }
  return out;
}

void BM_TargaRunLengthDecode(benchmark::State& state) {
  static const std::vector<uint8_t> source = MakeTargaPixels();
  static const std::vector<uint8_t> targa = EncodeTargaRunLength(source);
  klx::EngineSession engine;
  klx::ImageCodec* codec = engine.Started() ? ImageCodecNamed("TGAImageCodec") : nullptr;
  if (codec == nullptr) {
    state.SkipWithError("TGAImageCodec is not available");
    return;
  }
  klx::Ref<klx::Image> image(new klx::Image(klx::String("bench")));
  // Once before timing: the decoded pixels are the source with red and blue
  // swapped.
  bool same = DecodeThroughCodec(codec, "x.tga", targa, image.Get()) == klx::kOk &&
              image->GetWidth() == kSide && image->GetHeight() == kSide && image->GetFormat() == klx::kImageRGBA8;
  for (size_t i = 0; same && i < source.size(); i += 4) {
    const uint8_t* p = image->GetPixels() + i;
    same = p[0] == source[i + 2] && p[1] == source[i + 1] && p[2] == source[i] && p[3] == source[i + 3];
  }
  if (!same) {
    state.SkipWithError("the decoded Targa differs from its source");
    return;
  }
  for (auto _ : state) {
    if (DecodeThroughCodec(codec, "x.tga", targa, image.Get()) != klx::kOk) {
      state.SkipWithError("decoding failed");
      break;
    }
    benchmark::DoNotOptimize(image->GetPixels());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSide * kSide * 4);
  state.counters["file_MB"] = static_cast<double>(targa.size()) / 1e6;
  state.counters["ratio"] = static_cast<double>(source.size()) / static_cast<double>(targa.size());
}

BENCHMARK(BM_JpegDecodeCodec2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegDecodeLibjpeg2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaRunLengthDecode)->Unit(benchmark::kMillisecond);

}  // namespace
