#include "assets/codecs/targa_format.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "assets/image.h"
#include "core/little_endian.h"
#include "core/result.h"

namespace klx {

namespace {

constexpr size_t kHeaderSize = 18;
constexpr uint8_t kTypeUncompressed = 2;
constexpr uint8_t kTypeRunLength = 10;
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopLeftOrigin = 0x20;
constexpr uint8_t kSavedDescriptor = 0x28;  // top-left origin, 8 alpha bits

// Run-length packets: a count byte, then one pixel repeated (bit 7 set) or
// count + 1 literal pixels. A packet may not run past the image.
bool DecodeRunLength(const uint8_t* bytes, size_t size, size_t* position, uint8_t* out, uint64_t pixels,
                     uint32_t bytesPerPixel) {
  size_t at = *position;
  uint64_t done = 0;
  while (done < pixels) {
    if (at >= size) return false;
    const uint8_t packet = bytes[at++];
    const uint32_t count = (packet & 0x7F) + 1u;
    if (count > pixels - done) return false;
    uint8_t* target = out + done * bytesPerPixel;
    if (packet & 0x80) {
      if (size - at < bytesPerPixel) return false;
      for (uint32_t i = 0; i < count; ++i) std::memcpy(target + i * bytesPerPixel, bytes + at, bytesPerPixel);
      at += bytesPerPixel;
    } else {
      const size_t literal = size_t{count} * bytesPerPixel;
      if (size - at < literal) return false;
      std::memcpy(target, bytes + at, literal);
      at += literal;
    }
    done += count;
  }
  *position = at;
  return true;
}

// Reverses the pixels of every row in place.
void MirrorRows(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel) {
  const size_t row = size_t{width} * bytesPerPixel;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* left = pixels + size_t{y} * row;
    uint8_t* right = left + row - bytesPerPixel;
    for (; left < right; left += bytesPerPixel, right -= bytesPerPixel)
      std::swap_ranges(left, left + bytesPerPixel, right);
  }
}

}  // namespace

int ReadTarga(const uint8_t* bytes, size_t size, size_t* position, TargaPicture* picture) {
  size_t at = *position;
  if (at > size || size - at < kHeaderSize) return kFailed;
  const uint8_t* header = bytes + at;
  const uint8_t idLength = header[0];
  const uint8_t type = header[2];
  const uint32_t width = GetLE16(header + 12);
  const uint32_t height = GetLE16(header + 14);
  const uint8_t depth = header[16];
  const uint8_t descriptor = header[17];
  at += kHeaderSize;

  uint32_t format;
  if (depth == 24) format = kImageRGB8;
  else if (depth == 32) format = kImageRGBA8;
  else return kFailed;
  picture->width = width;
  picture->height = height;
  picture->format = format;

  if (width == 0 || height == 0) return kFailed;
  // The identification field is skipped when it ends inside the file.
  if (at + idLength < size) at += idLength;

  const uint32_t bytesPerPixel = BytesPerPixel(format);
  const uint64_t pixelCount = uint64_t{width} * height;
  const uint64_t byteCount = pixelCount * bytesPerPixel;
  if (byteCount > kMaxImageBytes) return kFailed;
  const size_t available = size - at;
  if (type == kTypeUncompressed) {
    if (available < byteCount) return kFailed;
  } else if (type == kTypeRunLength) {
    // A packet of 1 + bytesPerPixel bytes gives at most 128 pixels.
    if (pixelCount > uint64_t{available} * 128) return kFailed;
  } else {
    return kFailed;
  }

  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[byteCount + 1]);
  if (!pixels) return kOutOfMemory;
  if (type == kTypeUncompressed) {
    std::memcpy(pixels.get(), bytes + at, byteCount);
    at += byteCount;
  } else if (!DecodeRunLength(bytes, size, &at, pixels.get(), pixelCount, bytesPerPixel)) {
    return kFailed;
  }

  // The file's blue, green, red (alpha) becomes red, green, blue (alpha).
  uint8_t* p = pixels.get();
  for (uint64_t i = 0; i < pixelCount; ++i, p += bytesPerPixel) std::swap(p[0], p[2]);
  // Rows stored right to left (uncompressed or run-length alike) are
  // reversed to run left to right.
  if (descriptor & kRightToLeft) MirrorRows(pixels.get(), width, height, bytesPerPixel);
  // A top-left origin stores the top row first: reverse to bottom first.
  if (descriptor & kTopLeftOrigin) {
    const size_t row = size_t{width} * bytesPerPixel;
    std::unique_ptr<uint8_t[]> line(new (std::nothrow) uint8_t[row + 1]);
    if (!line) return kOutOfMemory;
    for (uint32_t y = 0; y < height / 2; ++y) {
      uint8_t* top = pixels.get() + size_t{y} * row;
      uint8_t* bottom = pixels.get() + size_t{height - 1 - y} * row;
      std::memcpy(line.get(), top, row);
      std::memcpy(top, bottom, row);
      std::memcpy(bottom, line.get(), row);
    }
  }
  picture->pixels = std::move(pixels);
  *position = at;
  return kOk;
}

void AppendTarga(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                 std::vector<uint8_t>* out) {
  uint8_t header[kHeaderSize] = {};
  header[2] = kTypeUncompressed;
  header[12] = static_cast<uint8_t>(width);
  header[13] = static_cast<uint8_t>(width >> 8);
  header[14] = static_cast<uint8_t>(height);
  header[15] = static_cast<uint8_t>(height >> 8);
  header[16] = static_cast<uint8_t>(8 * bytesPerPixel);
  header[17] = kSavedDescriptor;
  out->insert(out->end(), header, header + kHeaderSize);
  const size_t row = size_t{width} * bytesPerPixel;
  const size_t start = out->size();
  out->resize(start + row * height);
  uint8_t* target = out->data() + start;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source = pixels + size_t{height - 1 - y} * row;
    for (uint32_t x = 0; x < width; ++x, source += bytesPerPixel, target += bytesPerPixel) {
      std::memcpy(target, source, bytesPerPixel);
      std::swap(target[0], target[2]);
    }
  }
}

}  // namespace klx
