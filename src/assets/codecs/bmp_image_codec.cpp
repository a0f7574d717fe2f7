#include <cstring>
#include <new>

#include "assets/codecs/image_codecs.h"
#include "assets/codecs/targa_format.h"
#include "assets/image.h"
#include "core/builtin_module.h"
#include "core/little_endian.h"
#include "vfs/virtual_file.h"

namespace klx {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr uint32_t kPixelsPerMetre = 3780;

int CreateBMPImageCodec(Codec** out) {
  if (out == nullptr) return kInvalidArg;
  Codec* codec = new (std::nothrow) BMPImageCodec();
  if (codec == nullptr) return kOutOfMemory;
  *out = codec;
  return kOk;
}

// Decodes the pixel rows of an opened file; kOk, kFailed or kOutOfMemory.
int DecodeBitmap(const uint8_t* bytes, size_t size, Image* image) {
  if (size < kHeadersSize) return kFailed;
  const uint32_t offset = GetLE32(bytes + 10);
  const uint32_t width = GetLE32(bytes + 18);
  const uint32_t rawHeight = GetLE32(bytes + 22);
  const uint32_t bitCount = GetLE16(bytes + 28);
  const uint32_t compression = GetLE32(bytes + 30);
  // Palette and any other header data before the pixels are skipped; an
  // offset inside the headers would read them as pixels.
  if (offset < kHeadersSize || offset > size) return kFailed;

  uint32_t format;
  if (bitCount == 24) format = kImageRGB8;
  else if (bitCount == 8) format = kImageA8;
  else return kFailed;
  // Only plain rows are read; packed (run-length, bit-field) data is not.
  if (compression != 0) return kFailed;
  // A negative height stores the top row first.
  const bool topDown = static_cast<int32_t>(rawHeight) < 0;
  const uint32_t height = topDown ? 0u - rawHeight : rawHeight;
  image->SetSize(width, height);
  // A picture without pixels is not a picture.
  if (width == 0 || height == 0) return kFailed;
  image->SetFormat(format);

  const uint32_t bytesPerPixel = BytesPerPixel(format);
  const uint64_t row = uint64_t{width} * bytesPerPixel;
  const uint64_t stride = (row + 3) & ~uint64_t{3};
  if (row * height > kMaxImageBytes) return kFailed;
  // Every row must be there; the last one may lack its padding.
  const uint64_t needed = height == 0 ? 0 : stride * (height - 1) + row;
  if (size - offset < needed) return kFailed;

  uint8_t* pixels = new (std::nothrow) uint8_t[row * height + 1];
  if (pixels == nullptr) return kOutOfMemory;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source = bytes + offset + stride * y;
    uint8_t* target = pixels + row * (topDown ? height - 1 - y : y);
    if (format == kImageA8) {
      std::memcpy(target, source, row);
    } else {
      for (uint32_t x = 0; x < width; ++x, source += 3, target += 3) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
      }
    }
  }
  image->SetPixels(pixels);
  return kOk;
}

}  // namespace

KLX_BUILTIN_CODEC_MODULE(BMPImageCodec, "BMPImageCodec", &CreateBMPImageCodec)

BMPImageCodec::BMPImageCodec() : ImageCodec(String("BMPImageCodec")) {
  AddExtension(String("bmp"));
  AddExtension(String("BMP"));
  AddExtension(String("Bmp"));
}

int BMPImageCodec::Load(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  if (image_io::OpenForReading(file) != kOk) return kFailed;
  const size_t size = file->GetSize() > 0 ? static_cast<size_t>(file->GetSize()) : 0;
  const int result = DecodeBitmap(file->GetBuffer(), size, image);
  const bool closed = file->Close() == kOk;
  if (result != kOk) return result;
  return closed ? kOk : kFailed;
}

int BMPImageCodec::Save(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  const uint32_t format = image->GetFormat();
  if ((format != kImageRGB8 && format != kImageA8) || image->GetPixels() == nullptr) return kInvalidArg;
  const uint32_t bytesPerPixel = BytesPerPixel(format);
  const uint64_t row = uint64_t{image->GetWidth()} * bytesPerPixel;
  const uint64_t stride = (row + 3) & ~uint64_t{3};
  const uint64_t imageSize = stride * image->GetHeight();
  if (imageSize + kHeadersSize > 0xFFFFFFFFu) return kInvalidArg;

  std::vector<uint8_t> bytes;
  try {
    bytes.reserve(kHeadersSize + imageSize);
    AppendLE16(bytes, 0x4D42);
    AppendLE32(bytes, static_cast<uint32_t>(kHeadersSize + imageSize));
    AppendLE16(bytes, 0);
    AppendLE16(bytes, 0);
    AppendLE32(bytes, kHeadersSize);
    AppendLE32(bytes, kInfoHeaderSize);
    AppendLE32(bytes, image->GetWidth());
    AppendLE32(bytes, image->GetHeight());
    AppendLE16(bytes, 1);
    AppendLE16(bytes, 8 * bytesPerPixel);
    AppendLE32(bytes, 0);
    AppendLE32(bytes, static_cast<uint32_t>(imageSize));
    AppendLE32(bytes, kPixelsPerMetre);
    AppendLE32(bytes, kPixelsPerMetre);
    AppendLE32(bytes, 0);
    AppendLE32(bytes, 0);
    for (uint32_t y = 0; y < image->GetHeight(); ++y) {
      const uint8_t* source = image->GetPixels() + row * y;
      if (format == kImageA8) {
        bytes.insert(bytes.end(), source, source + row);
      } else {
        for (uint32_t x = 0; x < image->GetWidth(); ++x, source += 3) {
          bytes.push_back(source[2]);
          bytes.push_back(source[1]);
          bytes.push_back(source[0]);
        }
      }
      bytes.resize(bytes.size() + (stride - row), 0);
    }
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return image_io::WriteWhole(file, bytes);
}

}  // namespace klx
