#include <cstring>
#include <new>

#include "assets/codecs/image_codecs.h"
#include "assets/codecs/targa_format.h"
#include "assets/image.h"
#include "core/builtin_module.h"
#include "vfs/virtual_file.h"

namespace klx {

namespace {

constexpr uint32_t kFaces = 6;

int CreateCUBEImageCodec(Codec** out) {
  if (out == nullptr) return kInvalidArg;
  Codec* codec = new (std::nothrow) CUBEImageCodec();
  if (codec == nullptr) return kOutOfMemory;
  *out = codec;
  return kOk;
}

// The image as a VolumeImage: its class, or a class derived from it.
VolumeImage* AsVolume(Image* image) {
  return image->GetRTTI().IsDerivedFrom(VolumeImage::TYPE) ? static_cast<VolumeImage*>(image) : nullptr;
}

}  // namespace

KLX_BUILTIN_CODEC_MODULE(CUBEImageCodec, "CUBEImageCodec", &CreateCUBEImageCodec)

CUBEImageCodec::CUBEImageCodec() : ImageCodec(String("CUBEImageCodec")) {
  AddExtension(String("cube"));
  AddExtension(String("CUBE"));
  AddExtension(String("Cube"));
}

int CUBEImageCodec::Load(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  VolumeImage* volume = AsVolume(image);
  if (volume == nullptr) return kInvalidArg;
  if (image_io::OpenForReading(file) != kOk) return kFailed;
  const size_t size = file->GetSize() > 0 ? static_cast<size_t>(file->GetSize()) : 0;
  volume->SetDepth(kFaces);
  TargaPicture faces[kFaces];
  size_t position = 0;
  for (uint32_t face = 0; face < kFaces; ++face) {
    const int result = ReadTarga(file->GetBuffer(), size, &position, &faces[face]);
    // Faces of different sizes or formats cannot share one volume.
    const bool matches = face == 0 || (faces[face].width == faces[0].width &&
                                       faces[face].height == faces[0].height &&
                                       faces[face].format == faces[0].format);
    if (result != kOk || !matches) {
      file->Close();
      return result != kOk ? result : kFailed;
    }
  }
  const TargaPicture& last = faces[kFaces - 1];
  volume->SetSize(last.width, last.height);
  volume->SetFormat(last.format);
  const size_t faceBytes = size_t{last.width} * last.height * BytesPerPixel(last.format);
  uint8_t* pixels = new (std::nothrow) uint8_t[faceBytes * kFaces + 1];
  if (pixels == nullptr) {
    file->Close();
    return kOutOfMemory;
  }
  for (uint32_t face = 0; face < kFaces; ++face)
    std::memcpy(pixels + face * faceBytes, faces[face].pixels.get(), faceBytes);
  volume->SetPixels(pixels);
  return file->Close() == kOk ? kOk : kFailed;
}

int CUBEImageCodec::Save(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kFailed;
  VolumeImage* volume = AsVolume(image);
  if (volume == nullptr) return kFailed;
  const uint32_t format = volume->GetFormat();
  // Six slices must be there to be written.
  if ((format != kImageRGB8 && format != kImageRGBA8) || volume->GetPixels() == nullptr ||
      volume->GetDepth() < kFaces || volume->GetWidth() > 0xFFFF || volume->GetHeight() > 0xFFFF)
    return kInvalidArg;
  const uint32_t bytesPerPixel = BytesPerPixel(format);
  const size_t faceBytes = size_t{volume->GetWidth()} * volume->GetHeight() * bytesPerPixel;
  std::vector<uint8_t> bytes;
  try {
    for (uint32_t face = 0; face < kFaces; ++face)
      AppendTarga(volume->GetPixels() + face * faceBytes, volume->GetWidth(), volume->GetHeight(), bytesPerPixel,
                  &bytes);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return image_io::WriteWhole(file, bytes);
}

}  // namespace klx
