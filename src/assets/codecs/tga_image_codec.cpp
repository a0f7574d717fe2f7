#include <new>

#include "assets/codecs/image_codecs.h"
#include "assets/codecs/targa_format.h"
#include "assets/image.h"
#include "core/builtin_module.h"
#include "core/codec_manager.h"
#include "vfs/virtual_file.h"

namespace klx {

int LoadBuiltinImageCodecs() {
  int result = kOk;
  for (const char* name : {"BMPImageCodec", "TGAImageCodec", "JPGImageCodec", "CUBEImageCodec"})
    if (CodecManager::LoadCodec(String(name), nullptr) != kOk) result = kFailed;
  return result;
}

namespace image_io {

int OpenForReading(VirtualFile* file) { return file->Open(VirtualFile::kRead) == kOk ? kOk : kFailed; }

int WriteWhole(VirtualFile* file, const std::vector<uint8_t>& bytes) {
  if (file->Open(VirtualFile::kWrite) != kOk) return kFailed;
  const bool written = bytes.empty() || file->Write(bytes.data(), static_cast<int32_t>(bytes.size())) == kOk;
  const bool closed = file->Close() == kOk;
  return written && closed ? kOk : kFailed;
}

}  // namespace image_io

namespace {

int CreateTGAImageCodec(Codec** out) {
  if (out == nullptr) return kInvalidArg;
  Codec* codec = new (std::nothrow) TGAImageCodec();
  if (codec == nullptr) return kOutOfMemory;
  *out = codec;
  return kOk;
}

}  // namespace

KLX_BUILTIN_CODEC_MODULE(TGAImageCodec, "TGAImageCodec", &CreateTGAImageCodec)

TGAImageCodec::TGAImageCodec() : ImageCodec(String("TGAImageCodec")) {
  AddExtension(String("tga"));
  AddExtension(String("TGA"));
  AddExtension(String("Tga"));
}

int TGAImageCodec::Load(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  if (image_io::OpenForReading(file) != kOk) return kFailed;
  const size_t size = file->GetSize() > 0 ? static_cast<size_t>(file->GetSize()) : 0;
  size_t position = 0;
  TargaPicture picture;
  const int result = ReadTarga(file->GetBuffer(), size, &position, &picture);
  if (picture.format != 0 || picture.width != 0) {
    image->SetSize(picture.width, picture.height);
    image->SetFormat(picture.format);
  }
  if (result != kOk) {
    file->Close();
    return result;
  }
  image->SetPixels(picture.pixels.release());
  return file->Close() == kOk ? kOk : kFailed;
}

int TGAImageCodec::Save(VirtualFile* file, Image* image) {
  if (file == nullptr || image == nullptr) return kInvalidArg;
  const uint32_t format = image->GetFormat();
  if ((format != kImageRGB8 && format != kImageRGBA8) || image->GetPixels() == nullptr ||
      image->GetWidth() > 0xFFFF || image->GetHeight() > 0xFFFF)
    return kInvalidArg;
  std::vector<uint8_t> bytes;
  try {
    AppendTarga(image->GetPixels(), image->GetWidth(), image->GetHeight(), BytesPerPixel(format), &bytes);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  return image_io::WriteWhole(file, bytes);
}

}  // namespace klx
