#pragma once
// Helpers for image tests: pictures in the netpbm formats ImageMagick reads
// and writes, running ImageMagick, and decoding bytes through the engine's
// image codecs.

#include <cstdint>
#include <string>
#include <vector>

#include "assets/image.h"
#include "core/ref_counted.h"

namespace klx::test {

// A picture top row first, `channels` bytes per pixel (1 grey, 3 RGB, 4 RGBA).
struct Picture {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t channels = 0;
  std::vector<uint8_t> pixels;
};

// A deterministic picture with gradients, edges and some noise.
Picture MakePicture(uint32_t width, uint32_t height, uint32_t channels, uint32_t seed);

// P5, P6 or P7 (PAM) bytes, and back; false on anything else.
std::vector<uint8_t> EncodeNetpbm(const Picture& picture);
bool DecodeNetpbm(const std::vector<uint8_t>& bytes, Picture* picture);

// ImageMagick's convert ("" when it is not installed).
std::string ImageMagick();
// Runs a shell command; true when it exits with 0.
bool Run(const std::string& command);

// A fresh temporary folder, removed with the object.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Copies the file at `path` to the file KLX_SEED_OUT names, when it is
// set: how a test's scene becomes a fuzz seed.
void KeepAsSeed(const std::string& path);

// Decodes bytes through the codec the name's extension picks (the engine
// must be running). A ".cube" name decodes into a VolumeImage.
int DecodeWithEngine(const std::vector<uint8_t>& bytes, const char* name, Ref<Image>* image);
// Encodes an image through the codec the name's extension picks.
int EncodeWithEngine(Image* image, const char* name, std::vector<uint8_t>* bytes);

// The engine image (bottom row first) as a top-row-first picture.
Picture FromEngine(const Image& image, uint32_t slice = 0);

// The largest difference of any channel; -1 when the shapes differ.
int MaxDifference(const Picture& a, const Picture& b);
// The mean absolute difference over all channels; -1 when the shapes differ.
double MeanDifference(const Picture& a, const Picture& b);

}  // namespace klx::test
