#include "assets/image.h"

#include <cstring>
#include <new>

#include "core/codec_manager.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"

namespace klx {

KLX_IMPLEMENT_CLASS(Image, Object)
KLX_IMPLEMENT_CLASS(VolumeImage, Image)

uint32_t BytesPerPixel(uint32_t format) {
  switch (format) {
    case kImageRGB8:
      return 3;
    case kImageRGBA8:
      return 4;
    case kImageA8:
      return 1;
    case kImageFormat64:
      return 8;
    default:
      return 0;
  }
}

uint32_t ImageDataSize(uint32_t format, uint32_t width, uint32_t height, uint32_t depth) {
  const uint64_t size = uint64_t{BytesPerPixel(format)} * width * height;
  const uint64_t total = size * depth;
  // Computed in 64 bits: a size that needs more than 32 bits is refused, not
  // wrapped round to a small buffer.
  if (width != 0 && height != 0 && depth != 0 && (size / width / height != BytesPerPixel(format) ||
                                                  total / depth != size))
    return 0;
  return total > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(total);
}

Image::Image(const String& name) : Object(name) {}

Image::Image(const String& name, uint32_t format, uint32_t width, uint32_t height)
    : Object(name), width_(width), height_(height), format_(format) {
  AllocateClearedPixels();
}

Image::Image(VirtualFile* file, const String& name) : Object(name) {
  if (file != nullptr) {
    fileName_ = file->GetName();
    if (name.IsEmpty()) SetName(fileName_);
  }
  LoadFromFile(file);
}

Image::~Image() { delete[] pixels_; }

uint32_t Image::GetDataSize() const { return ImageDataSize(format_, width_, height_, 1); }

void Image::SetPixels(uint8_t* pixels) {
  matchesFile_ = false;
  released_ = false;
  if (pixels == pixels_) return;
  delete[] pixels_;
  pixels_ = pixels;
}

bool Image::ReleasePixels() {
  if (!matchesFile_ || pixels_ == nullptr) return false;
  delete[] pixels_;
  pixels_ = nullptr;
  released_ = true;
  return true;
}

bool Image::RestorePixels() {
  if (!released_) return pixels_ != nullptr;
  VirtualFile* file = FileManager::FindFile(fileName_);
  if (file == nullptr || LoadFromFile(file) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить изображение из файла. ID[%d] Имя[%s] Файл[%s]"), GetID(),
             GetName().CStr(), fileName_.CStr());
    // Said once: the image stays without pixels rather than being tried
    // (and logged) again at every use.
    released_ = false;
    return false;
  }
  return pixels_ != nullptr;
}

bool Image::AllocatePixels() {
  SetPixels(nullptr);
  const uint32_t size = GetDataSize();
  if (size == 0) return true;
  // Sizes come from files: beyond the bound, refuse as if memory ran out.
  if (size <= kMaxImageBytes) pixels_ = new (std::nothrow) uint8_t[size];
  if (pixels_ == nullptr) {
    LogError(KLX_TEXT("Недостаточно памяти для создания изображения. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return false;
  }
  return true;
}

bool Image::AllocateClearedPixels() {
  // Zeroed: a target or a map that is filled later is uploaded, or read,
  // as black rather than as whatever the memory held.
  if (!AllocatePixels()) return false;
  if (pixels_ != nullptr) std::memset(pixels_, 0, GetDataSize());
  return true;
}

int Image::LoadFromFile(VirtualFile* file) {
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Указатель на файл равен 0 при загрузке изображения [%s]."), GetName().CStr());
    return kInvalidArg;
  }
  Codec* codec = CodecManager::FindCodecForFile(file);
  // A codec of another kind would be handed the wrong target: no codec.
  if (codec == nullptr || codec->GetCodecType() != kImageCodecType) {
    LogWarning(KLX_TEXT("Не найден кодек для файла при загрузке изображения [%s]."), GetName().CStr());
    return kInvalidArg;
  }
  if (static_cast<ImageCodec*>(codec)->Load(file, this) != kOk) {
    LogError(KLX_TEXT("Неудачна загрузка изображения [%s]."), GetName().CStr());
    return kFailed;
  }
  // Only a file the file manager gives again under the image's file name
  // can restore released pixels.
  matchesFile_ = !fileName_.IsEmpty() && FileManager::FindFile(fileName_) == file;
  released_ = false;
  return kOk;
}

int Image::SaveFileName(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteString(fileName_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить имя файла изображения. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

namespace {

int WriteField(MemoryStream& stream, uint32_t value, const char* message, const Object& image) {
  if (stream.WriteInt32(static_cast<int32_t>(value)) == kOk) return kOk;
  LogError(message, image.GetName().CStr(), image.GetID());
  return kFailed;
}

int ReadField(MemoryStream& stream, uint32_t& value, const char* message, const Object& image) {
  int32_t read = 0;
  if (stream.ReadInt32(read) == kOk) {
    value = static_cast<uint32_t>(read);
    return kOk;
  }
  LogError(message, image.GetID(), image.GetName().CStr());
  return kFailed;
}

const char* const kSaveWidth = KLX_TEXT("Невозможно сохранить ширину изображения. Имя[%s] ID[%d]");
const char* const kSaveHeight = KLX_TEXT("Невозможно сохранить высоту изображения. Имя[%s] ID[%d]");
const char* const kSaveFormat = KLX_TEXT("Невозможно сохранить формат изображения. Имя[%s] ID[%d]");
const char* const kLoadWidth = KLX_TEXT("Невозможно загрузить ширину изображения. ID[%d] Имя[%s]");
const char* const kLoadHeight = KLX_TEXT("Невозможно загрузить высоту изображения. ID[%d] Имя[%s]");
const char* const kLoadFormat = KLX_TEXT("Невозможно загрузить формат изображения. ID[%d] Имя[%s]");

// The parent data and the file name; for a named file, the file is found in
// the file manager and decoded. *decoded tells whether that happened.
int LoadFileNamePart(Image& image, MemoryStream& stream, String& fileName, bool* decoded) {
  *decoded = false;
  if (image.Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), image.GetID());
    return kFailed;
  }
  if (stream.ReadString(fileName) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить имя файла изображения. ID[%d] Имя[%s]"), image.GetID(),
             image.GetName().CStr());
    return kFailed;
  }
  if (fileName.IsEmpty()) return kOk;
  *decoded = true;
  VirtualFile* file = FileManager::FindFile(fileName);
  if (file == nullptr || image.LoadFromFile(file) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить изображение из файла. ID[%d] Имя[%s] Файл[%s]"), image.GetID(),
             image.GetName().CStr(), fileName.CStr());
    return kFailed;
  }
  return kOk;
}

}  // namespace

int Image::Save(MemoryStream& stream) {
  if (SaveFileName(stream) != kOk) return kFailed;
  if (!fileName_.IsEmpty()) return kOk;
  if (WriteField(stream, width_, kSaveWidth, *this) != kOk) return kFailed;
  if (WriteField(stream, height_, kSaveHeight, *this) != kOk) return kFailed;
  return WriteField(stream, format_, kSaveFormat, *this);
}

int Image::Load(MemoryStream& stream) {
  bool decoded = false;
  if (LoadFileNamePart(*this, stream, fileName_, &decoded) != kOk) return kFailed;
  if (!decoded) {
    if (ReadField(stream, width_, kLoadWidth, *this) != kOk) return kFailed;
    if (ReadField(stream, height_, kLoadHeight, *this) != kOk) return kFailed;
    if (ReadField(stream, format_, kLoadFormat, *this) != kOk) return kFailed;
    if (!AllocateClearedPixels()) return kOutOfMemory;
  }
  LogInfo(KLX_TEXT("Изображение [%s] загружено."), GetName().CStr());
  return kOk;
}

VolumeImage::VolumeImage(const String& name) : Image(name) {}

VolumeImage::VolumeImage(const String& name, uint32_t format, uint32_t width, uint32_t height, uint32_t depth)
    : Image(name, format, 0, 0), depth_(depth) {
  SetSize(width, height);
  AllocateClearedPixels();
}

VolumeImage::VolumeImage(VirtualFile* file, const String& name) : Image(String()) {
  if (file != nullptr) {
    fileName_ = file->GetName();
    SetName(name.IsEmpty() ? fileName_ : name);
  } else {
    SetName(name);
  }
  LoadFromFile(file);
}

uint32_t VolumeImage::GetDataSize() const { return ImageDataSize(format_, width_, height_, depth_); }

int VolumeImage::Save(MemoryStream& stream) {
  if (SaveFileName(stream) != kOk) return kFailed;
  if (!fileName_.IsEmpty()) return kOk;
  if (WriteField(stream, width_, kSaveWidth, *this) != kOk) return kFailed;
  if (WriteField(stream, height_, kSaveHeight, *this) != kOk) return kFailed;
  if (WriteField(stream, depth_, kSaveHeight, *this) != kOk) return kFailed;
  return WriteField(stream, format_, kSaveFormat, *this);
}

int VolumeImage::Load(MemoryStream& stream) {
  bool decoded = false;
  if (LoadFileNamePart(*this, stream, fileName_, &decoded) != kOk) return kFailed;
  if (decoded) return kOk;
  if (ReadField(stream, width_, kLoadWidth, *this) != kOk) return kFailed;
  if (ReadField(stream, height_, kLoadHeight, *this) != kOk) return kFailed;
  if (ReadField(stream, depth_, kLoadHeight, *this) != kOk) return kFailed;
  if (ReadField(stream, format_, kLoadFormat, *this) != kOk) return kFailed;
  return AllocateClearedPixels() ? kOk : kOutOfMemory;
}

}  // namespace klx
