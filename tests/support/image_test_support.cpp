#include "support/image_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "assets/codecs/image_codecs.h"
#include "core/codec_manager.h"
#include "vfs/memory_file.h"

namespace klx::test {

Picture MakePicture(uint32_t width, uint32_t height, uint32_t channels, uint32_t seed) {
  Picture picture{width, height, channels, std::vector<uint8_t>(size_t{width} * height * channels)};
  uint32_t noise = seed * 2654435761u + 1;
  size_t i = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      noise = noise * 1664525u + 1013904223u;
      const bool inside = (x / 8 + y / 8) % 2 == 0;
      for (uint32_t c = 0; c < channels; ++c) {
        // Smooth ramps, a checkerboard edge and a little noise, no wrap-round:
        // like a photograph more than like random data.
        uint32_t value = x * 150 / (width > 0 ? width : 1) + y * 50 / (height > 0 ? height : 1) + c * 15;
        if (inside) value += 25;
        value += (noise >> (24 + c)) & 7;
        if (value > 255) value = 255;
        picture.pixels[i++] = static_cast<uint8_t>(value);
      }
    }
  }
  return picture;
}

std::vector<uint8_t> EncodeNetpbm(const Picture& picture) {
  std::string header;
  if (picture.channels == 1) {
    header = "P5\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  } else if (picture.channels == 3) {
    header = "P6\n" + std::to_string(picture.width) + " " + std::to_string(picture.height) + "\n255\n";
  } else {
    header = "P7\nWIDTH " + std::to_string(picture.width) + "\nHEIGHT " + std::to_string(picture.height) +
             "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  }
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.insert(bytes.end(), picture.pixels.begin(), picture.pixels.end());
  return bytes;
}

bool DecodeNetpbm(const std::vector<uint8_t>& bytes, Picture* picture) {
  const std::string text(bytes.begin(), bytes.end());
  size_t dataStart = 0;
  uint32_t maxValue = 0;
  if (text.rfind("P7\n", 0) == 0) {
    const size_t end = text.find("ENDHDR\n");
    if (end == std::string::npos) return false;
    std::istringstream header(text.substr(3, end - 3));
    std::string key;
    uint32_t value = 0;
    std::string tuple;
    while (header >> key) {
      if (key == "TUPLTYPE") {
        header >> tuple;
        continue;
      }
      header >> value;
      if (key == "WIDTH") picture->width = value;
      if (key == "HEIGHT") picture->height = value;
      if (key == "DEPTH") picture->channels = value;
      if (key == "MAXVAL") maxValue = value;
    }
    dataStart = end + 7;
  } else if (text.rfind("P5", 0) == 0 || text.rfind("P6", 0) == 0) {
    picture->channels = text[1] == '5' ? 1 : 3;
    std::istringstream header(text.substr(2, 64));
    header >> picture->width >> picture->height >> maxValue;
    // One whitespace byte follows the maximum value.
    dataStart = 2 + static_cast<size_t>(header.tellg()) + 1;
  } else {
    return false;
  }
  const size_t count = size_t{picture->width} * picture->height * picture->channels;
  if (maxValue != 255 || dataStart + count > bytes.size()) return false;
  picture->pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataStart),
                         bytes.begin() + static_cast<std::ptrdiff_t>(dataStart + count));
  return true;
}

std::string ImageMagick() {
  if (access("/usr/bin/convert", X_OK) == 0) return "/usr/bin/convert";
  return Run("command -v convert >/dev/null 2>&1") ? "convert" : "";
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "klx_image_XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  if (!path_.empty()) std::filesystem::remove_all(path_, error);
}

int DecodeWithEngine(const std::vector<uint8_t>& bytes, const char* name, Ref<Image>* image) {
  LoadBuiltinImageCodecs();
  MemoryFile file{String(name)};
  auto* copy = new uint8_t[bytes.size() + 1];
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  file.SetContent(copy, static_cast<int32_t>(bytes.size()));
  const bool cube = std::strstr(name, ".cube") != nullptr;
  Ref<Image> target(cube ? new VolumeImage() : new Image());
  const int result = target->LoadFromFile(&file);
  *image = target;
  return result;
}

int EncodeWithEngine(Image* image, const char* name, std::vector<uint8_t>* bytes) {
  LoadBuiltinImageCodecs();
  Codec* codec = CodecManager::FindCodecForFileName(String(name));
  if (codec == nullptr || codec->GetCodecType() != kImageCodecType) return -1;
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("klx_encode_" + std::to_string(getpid()) + "_" + name)).string();
  VirtualFile file{String(path.c_str())};
  const int result = static_cast<ImageCodec*>(codec)->Save(&file, image);
  if (result == kOk) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    bytes->clear();
    if (in != nullptr) {
      int c;
      while ((c = std::fgetc(in)) != EOF) bytes->push_back(static_cast<uint8_t>(c));
      std::fclose(in);
    }
  }
  std::remove(path.c_str());
  return result;
}

Picture FromEngine(const Image& image, uint32_t slice) {
  Picture picture;
  picture.width = image.GetWidth();
  picture.height = image.GetHeight();
  picture.channels = BytesPerPixel(image.GetFormat());
  const size_t row = size_t{picture.width} * picture.channels;
  const uint8_t* base = image.GetPixels() + row * picture.height * slice;
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* source = base + row * (picture.height - 1 - y);
    picture.pixels.insert(picture.pixels.end(), source, source + row);
  }
  return picture;
}

int MaxDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.channels != b.channels ||
      a.pixels.size() != b.pixels.size())
    return -1;
  int worst = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) worst = std::max(worst, std::abs(int{a.pixels[i]} - int{b.pixels[i]}));
  return worst;
}

double MeanDifference(const Picture& a, const Picture& b) {
  if (MaxDifference(a, b) < 0) return -1;
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) sum += std::abs(int{a.pixels[i]} - int{b.pixels[i]});
  return a.pixels.empty() ? 0 : sum / static_cast<double>(a.pixels.size());
}

void KeepAsSeed(const std::string& path) {
  const char* keep = std::getenv("KLX_SEED_OUT");
  if (keep == nullptr) return;
  std::ifstream in(path, std::ios::binary);
  std::ofstream(keep, std::ios::binary) << in.rdbuf();
}

}  // namespace klx::test
