// klx-image: decodes images through the engine's image codecs.
//
//   klx-image info FILE       width, height, format and depth as decoded
//   klx-image convert IN OUT  decode IN, write OUT through the codec for its
//                             extension, or as binary PPM (P6) for ".ppm"
//
// Exit status: 0 done, 1 failure (decoding, format or writing), 2 usage.
// The engine's warnings and errors go to standard error.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/codecs/image_codecs.h"
#include "assets/image.h"
#include "core/codec.h"
#include "core/codec_manager.h"
#include "core/console_message_output.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "vfs/virtual_file.h"
#include "sound/sound_manager.h"

namespace {

constexpr const char* kUsage =
    "usage: klx-image info FILE\n"
    "       klx-image convert IN OUT   (OUT: .bmp .tga .jpg .cube or .ppm)\n";

// Runs the engine for the life of a command, with its warnings and errors on
// standard error.
class EngineSession {
 public:
  EngineSession() : output_(new klx::ConsoleMessageOutput(stderr, klx::kLogWarning)) {
    klx::RegisterMessageOutput(output_.Get());
    // Built-in modules register their factories at start; the codecs enter
    // the table, where the lookup by extension finds them, when made.
    klx::SoundManager::SetOpenDeviceAtStartup(false);  // a tool plays nothing
    started_ = klx::EngineStart() == klx::kOk && klx::LoadBuiltinImageCodecs() == klx::kOk;
  }
  ~EngineSession() {
    klx::EngineStop();
    klx::UnregisterMessageOutput(output_.Get());
  }
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;
  bool Started() const { return started_; }

 private:
  klx::Ref<klx::MessageOutput> output_;
  bool started_ = false;
};

const char* FormatName(uint32_t format) {
  switch (format) {
    case klx::kImageRGB8:
      return "RGB8";
    case klx::kImageRGBA8:
      return "RGBA8";
    case klx::kImageA8:
      return "A8";
    default:
      return "unknown";
  }
}

bool IsPpmName(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  return extension == ".ppm" || extension == ".PPM" || extension == ".Ppm";
}

// The image codec the file name's extension picks, or null.
klx::ImageCodec* ImageCodecFor(const std::string& path) {
  klx::Codec* codec = klx::CodecManager::FindCodecForFileName(klx::String(path.c_str()));
  if (codec == nullptr || codec->GetCodecType() != klx::kImageCodecType) return nullptr;
  return static_cast<klx::ImageCodec*>(codec);
}

bool IsCubeCodec(const klx::Codec* codec) { return codec->GetName() == "CUBEImageCodec"; }

struct Decoded {
  klx::Ref<klx::Image> image;
  uint32_t depth = 1;  // six for a cube map
};

// Decodes the file through the codec for its extension; a cube map goes into
// a VolumeImage. Null image (with a message) on failure.
Decoded Decode(const std::string& path) {
  Decoded result;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    std::fprintf(stderr, "klx-image: %s: no such file\n", path.c_str());
    return result;
  }
  klx::ImageCodec* codec = ImageCodecFor(path);
  if (codec == nullptr) {
    std::fprintf(stderr, "klx-image: %s: no image codec for this extension\n", path.c_str());
    return result;
  }
  klx::VirtualFile file{klx::String(path.c_str())};
  klx::Ref<klx::Image> image;
  klx::VolumeImage* volume = nullptr;
  if (IsCubeCodec(codec)) {
    volume = new klx::VolumeImage(file.GetName());
    image = volume;
  } else {
    image = new klx::Image(file.GetName());
  }
  if (image->LoadFromFile(&file) != klx::kOk || image->GetPixels() == nullptr ||
      klx::BytesPerPixel(image->GetFormat()) == 0) {
    std::fprintf(stderr, "klx-image: %s: cannot be decoded by %s\n", path.c_str(), codec->GetName().CStr());
    return result;
  }
  result.image = image;
  result.depth = volume != nullptr ? volume->GetDepth() : 1;
  return result;
}

// A cube map's slices stacked into one plain image, slice 0 at the top (the
// engine's rows run bottom first, so the last slice's rows come first).
klx::Ref<klx::Image> StackSlices(klx::Image* volume, uint32_t depth) {
  const uint32_t width = volume->GetWidth();
  const uint32_t height = volume->GetHeight();
  klx::Ref<klx::Image> stacked(new klx::Image(volume->GetName(), volume->GetFormat(), width, height * depth));
  if (stacked->GetPixels() == nullptr) return nullptr;
  const size_t sliceBytes = size_t{width} * height * klx::BytesPerPixel(volume->GetFormat());
  for (uint32_t slice = 0; slice < depth; ++slice)
    std::memcpy(stacked->EditPixels() + sliceBytes * (depth - 1 - slice), volume->GetPixels() + sliceBytes * slice,
                sliceBytes);
  return stacked;
}

// Binary PPM (P6): top row first; RGBA8 loses its alpha, A8 becomes grey.
bool WritePpm(const std::string& path, const klx::Image& image) {
  const uint32_t width = image.GetWidth();
  const uint32_t height = image.GetHeight();
  const uint32_t bytesPerPixel = klx::BytesPerPixel(image.GetFormat());
  std::vector<uint8_t> line(size_t{width} * 3);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fprintf(out, "P6\n%u %u\n255\n", width, height) > 0;
  for (uint32_t y = 0; ok && y < height; ++y) {
    const uint8_t* source = image.GetPixels() + size_t{height - 1 - y} * width * bytesPerPixel;
    uint8_t* target = line.data();
    for (uint32_t x = 0; x < width; ++x, source += bytesPerPixel, target += 3) {
      if (bytesPerPixel == 1) {
        target[0] = target[1] = target[2] = source[0];
      } else {
        target[0] = source[0];
        target[1] = source[1];
        target[2] = source[2];
      }
    }
    ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
  }
  ok = std::fclose(out) == 0 && ok;
  return ok;
}

// Whether the codec's Save takes the format; the codecs refuse the others.
bool CodecWrites(const klx::Codec* codec, uint32_t format, const char** accepted) {
  const klx::String& name = codec->GetName();
  if (name == "JPGImageCodec") {
    *accepted = "RGB8 or A8";
    return format == klx::kImageRGB8 || format == klx::kImageA8;
  }
  if (name == "BMPImageCodec") {
    *accepted = "RGB8 or A8";
    return format == klx::kImageRGB8 || format == klx::kImageA8;
  }
  *accepted = "RGB8 or RGBA8";
  return format == klx::kImageRGB8 || format == klx::kImageRGBA8;
}

int Info(const std::string& path) {
  EngineSession engine;
  if (!engine.Started()) {
    std::fprintf(stderr, "klx-image: the engine did not start\n");
    return 1;
  }
  const Decoded decoded = Decode(path);
  if (!decoded.image) return 1;
  std::printf("width %u\nheight %u\nformat %s\ndepth %u\n", decoded.image->GetWidth(), decoded.image->GetHeight(),
              FormatName(decoded.image->GetFormat()), decoded.depth);
  return 0;
}

int Convert(const std::string& input, const std::string& output) {
  EngineSession engine;
  if (!engine.Started()) {
    std::fprintf(stderr, "klx-image: the engine did not start\n");
    return 1;
  }
  const bool ppm = IsPpmName(output);
  klx::ImageCodec* writer = ppm ? nullptr : ImageCodecFor(output);
  if (!ppm && writer == nullptr) {
    std::fprintf(stderr, "klx-image: %s: no image codec writes this extension (.bmp .tga .jpg .cube .ppm)\n",
                 output.c_str());
    return 2;
  }
  const Decoded decoded = Decode(input);
  if (!decoded.image) return 1;

  klx::Ref<klx::Image> image = decoded.image;
  const bool toCube = writer != nullptr && IsCubeCodec(writer);
  if (toCube && decoded.depth != 6) {
    std::fprintf(stderr, "klx-image: %s: only a cube map (six slices) can be written as .cube\n", output.c_str());
    return 1;
  }
  // A cube map written to a plain format shows its six faces one above the other.
  if (!toCube && decoded.depth > 1) {
    image = StackSlices(image.Get(), decoded.depth);
    if (!image) {
      std::fprintf(stderr, "klx-image: out of memory\n");
      return 1;
    }
  }

  if (ppm) {
    if (!WritePpm(output, *image)) {
      std::fprintf(stderr, "klx-image: cannot write %s\n", output.c_str());
      return 1;
    }
    return 0;
  }
  const char* accepted = "";
  if (!CodecWrites(writer, image->GetFormat(), &accepted)) {
    std::fprintf(stderr, "klx-image: %s: %s writes %s images, not %s\n", output.c_str(),
                 writer->GetName().CStr(), accepted, FormatName(image->GetFormat()));
    return 1;
  }
  klx::VirtualFile file{klx::String(output.c_str())};
  const int saved = writer->Save(&file, image.Get());
  if (saved != klx::kOk) {
    std::fprintf(stderr, "klx-image: cannot write %s (%s result %d)\n", output.c_str(), writer->GetName().CStr(),
                 saved);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "convert") == 0) return Convert(argv[2], argv[3]);
  std::fputs(kUsage, stderr);
  return 2;
}
