#pragma once
// Images: pixels in memory, bottom row first, rows without padding. An image
// either names a file (decoded through the image codec its extension picks)
// or has a size and format with a buffer filled at run time. A VolumeImage
// stacks equal slices (six for a cube map), slice 0 first.

#include <cstdint>

#include "core/object.h"

namespace klx {

class VirtualFile;

enum ImageFormat : uint32_t {
  kImageRGB8 = 0,          // red, green, blue
  kImageRGBA8 = 1,         // red, green, blue, alpha
  kImageA8 = 2,            // one 8-bit value (alpha or grey)
  kImageFormat64 = 3,      // 8 bytes per pixel; no codec makes it
  kImageDepthTarget = 4,   // no pixel data
  kImageScreenTarget = 5,  // no pixel data
};

// Largest pixel buffer an image allocates (any format, any way it is made);
// far above any texture the program uses, far below what a hostile header
// or scene file could ask for.
inline constexpr uint64_t kMaxImageBytes = uint64_t{1} << 29;  // 512 MiB: 11585 x 11585 RGBA

// Bytes per pixel of a format; 0 for the formats without pixel data and for
// unknown values.
uint32_t BytesPerPixel(uint32_t format);

class Image : public Object {
  KLX_DECLARE_CLASS(Image)

 public:
  explicit Image(const String& name = String());
  // An image of a size and format; the buffer (zeroed) is allocated when
  // the data size is not 0. A stored image without a file loads the same.
  Image(const String& name, uint32_t format, uint32_t width, uint32_t height);
  // An image decoded from a file; the object's name is `name`, or the file's
  // name when that is empty.
  Image(VirtualFile* file, const String& name);
  ~Image() override;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  // Bytes of pixel data the size and format call for (0 when that
  // would not fit in 32 bits).
  virtual uint32_t GetDataSize() const;

  // Decodes the file through the codec for its extension.
  int LoadFromFile(VirtualFile* file);

  const String& GetFileName() const { return fileName_; }
  uint32_t GetWidth() const { return width_; }
  uint32_t GetHeight() const { return height_; }
  uint32_t GetFormat() const { return format_; }
  // The pixels to read; null while there are none (see ReleasePixels).
  const uint8_t* GetPixels() const { return pixels_; }
  // The pixels to change in place. The image no longer matches its file,
  // so its pixels are kept from now on.
  uint8_t* EditPixels() {
    matchesFile_ = false;
    return pixels_;
  }

  // Frees the pixels of an image that its file can give again (decoded and
  // not changed since); true when they were freed. A texture's pixels are
  // not needed once the device holds a copy.
  bool ReleasePixels();
  // Decodes the file again after ReleasePixels; true when the image has
  // pixels afterwards (also when they were never released). A file that
  // cannot give them is logged once, and the image stays empty.
  bool RestorePixels();

  // For codecs: the decoded size and format, then the buffer (made with
  // new[]; the image takes it and frees the previous one).
  void SetSize(uint32_t width, uint32_t height) {
    width_ = width;
    height_ = height;
    matchesFile_ = false;
  }
  void SetFormat(uint32_t format) {
    format_ = format;
    matchesFile_ = false;
  }
  void SetPixels(uint8_t* pixels);

 protected:
  // Allocates GetDataSize bytes (none for 0); false when memory runs out.
  bool AllocatePixels();
  // AllocatePixels, then every byte 0.
  bool AllocateClearedPixels();
  int SaveFileName(MemoryStream& stream);

  String fileName_;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t format_ = kImageRGB8;
  uint8_t* pixels_ = nullptr;
  // Decoded from fileName_ and unchanged since: the pixels may be freed.
  bool matchesFile_ = false;
  bool released_ = false;
};

class VolumeImage : public Image {
  KLX_DECLARE_CLASS(VolumeImage)

 public:
  explicit VolumeImage(const String& name = String());
  VolumeImage(const String& name, uint32_t format, uint32_t width, uint32_t height, uint32_t depth);
  VolumeImage(VirtualFile* file, const String& name);

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  uint32_t GetDataSize() const override;

  uint32_t GetDepth() const { return depth_; }
  void SetDepth(uint32_t depth) { depth_ = depth; }

 private:
  uint32_t depth_ = 0;
};

// Bytes of `depth` slices of width × height pixels of a format, or 0 when
// that does not fit in 32 bits.
uint32_t ImageDataSize(uint32_t format, uint32_t width, uint32_t height, uint32_t depth);

}  // namespace klx
