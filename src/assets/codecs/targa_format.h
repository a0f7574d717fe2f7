#pragma once
// Reading and writing Targa images (uncompressed type 2 and run-length
// type 10, 24 and 32 bits), shared by the Targa and CUBE codecs. Pixels are
// in the engine's layout: bottom row first, each row left to right, red
// before blue.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "assets/image.h"

namespace klx {


struct TargaPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t format = 0;  // kImageRGB8 or kImageRGBA8
  std::unique_ptr<uint8_t[]> pixels;
};

// Decodes the Targa image starting at *position and moves *position past
// it; rows stored top first or right to left (descriptor bits 0x20, 0x10)
// are turned into the engine's layout. kOk; kFailed for an unsupported
// depth or type, a truncated file, a run-length packet running past the
// image or a size too large; kOutOfMemory.
int ReadTarga(const uint8_t* bytes, size_t size, size_t* position, TargaPicture* picture);

// Appends an uncompressed Targa image (top-left origin, top row first, blue
// before red) of engine pixels with 3 or 4 bytes per pixel.
void AppendTarga(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                 std::vector<uint8_t>* out);

}  // namespace klx
