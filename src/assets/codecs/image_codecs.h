#pragma once
// The built-in image codecs: "BMPImageCodec", "TGAImageCodec",
// "JPGImageCodec" and "CUBEImageCodec" (six Targa faces into a VolumeImage).
// Load results: 0, 1 failure, 2 out of memory, 3 bad argument. Codecs set
// width, height and format before the pixels, so a failure late in decoding
// leaves those fields set.

#include <vector>

#include "core/codec.h"

namespace klx {

class BMPImageCodec : public ImageCodec {
 public:
  BMPImageCodec();
  int Load(VirtualFile* file, Image* image) override;
  // RGB8 and A8 only (3 otherwise); 8-bit files have no palette.
  int Save(VirtualFile* file, Image* image) override;
};

class TGAImageCodec : public ImageCodec {
 public:
  TGAImageCodec();
  int Load(VirtualFile* file, Image* image) override;
  // RGB8 and RGBA8 only (3 otherwise): top-left origin, uncompressed.
  int Save(VirtualFile* file, Image* image) override;
};

class JPGImageCodec : public ImageCodec {
 public:
  JPGImageCodec();
  int Load(VirtualFile* file, Image* image) override;
  // RGB8 as colour, A8 as greyscale; quality 50, baseline.
  int Save(VirtualFile* file, Image* image) override;
};

class CUBEImageCodec : public ImageCodec {
 public:
  CUBEImageCodec();
  // The image must be a VolumeImage; it gets depth 6.
  int Load(VirtualFile* file, Image* image) override;
  int Save(VirtualFile* file, Image* image) override;
};

// Makes the four built-in image codecs (their modules are registered at
// engine start, the codecs themselves on first use). kOk when all are there.
int LoadBuiltinImageCodecs();

namespace image_io {

// Reads the whole file: opens it, and on success the caller reads
// GetBuffer()/GetSize() and closes it. kFailed when it cannot be opened.
int OpenForReading(VirtualFile* file);
// Writes the bytes as the file's whole content: kOk only when opening,
// writing and closing all succeed.
int WriteWhole(VirtualFile* file, const std::vector<uint8_t>& bytes);

}  // namespace image_io

}  // namespace klx
