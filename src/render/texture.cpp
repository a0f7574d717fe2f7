#include "render/texture.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/renderer.h"

namespace klx {

KLX_IMPLEMENT_CLASS(BaseTexture, Object)
KLX_IMPLEMENT_CLASS(Texture, BaseTexture)
KLX_IMPLEMENT_CLASS(CubeTexture, BaseTexture)
KLX_IMPLEMENT_CLASS(VolumeTexture, BaseTexture)

BaseTexture::~BaseTexture() {
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
}

void BaseTexture::ImageChanged() {
  mipMapCount_ = 0;
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
  handle_.changed = true;
}

int BaseTexture::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(mipMapCount_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество мип-мэпов текстуры. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  return kOk;
}

int BaseTexture::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (stream.ReadInt32(mipMapCount_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить количество мип-мэпов текстуры. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  mipMapCount_ = 0;  // every loaded texture gets a full chain
  handle_.changed = true;
  return kOk;
}

namespace {

int SaveImage(MemoryStream& stream, Object* texture, Object* image) {
  if (stream.WriteObject(image) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить изображение текстуры. Имя[%s] ID[%d]"), texture->GetName().CStr(),
             texture->GetID());
    return kFailed;
  }
  return kOk;
}

template <class T>
int LoadImage(MemoryStream& stream, Object* texture, T** image) {
  if (stream.template ReadObjectOf<T>(*image) != kOk || ClosesLoop(texture, *image)) {
    *image = nullptr;
    LogError(KLX_TEXT("Невозможно загрузить изображение текстуры. ID[%d] Имя[%s]"), texture->GetID(),
             texture->GetName().CStr());
    return kFailed;
  }
  LogInfo(KLX_TEXT("Текстура [%s] загружена."), texture->GetName().CStr());
  return kOk;
}

}  // namespace

void Texture::SetImage(Image* image) {
  image_ = image;
  ImageChanged();
}

int Texture::Save(MemoryStream& stream) {
  if (BaseTexture::Save(stream) != kOk) return kFailed;
  return SaveImage(stream, this, image_.Get());
}

int Texture::Load(MemoryStream& stream) {
  if (BaseTexture::Load(stream) != kOk) return kFailed;
  Image* image = nullptr;
  if (LoadImage(stream, this, &image) != kOk) return kFailed;
  image_ = image;
  return kOk;
}

Object* Texture::FindByName(const String& name) {
  if (Object* found = Object::FindByName(name)) return found;
  return image_ ? image_->FindByName(name) : nullptr;
}

void Texture::CollectByType(const RTTI& type, Array<Object*>& found) {
  Object::CollectByType(type, found);
  if (image_) image_->CollectByType(type, found);
}

void CubeTexture::SetImage(Image* image) {
  image_ = image;
  ImageChanged();
}

int CubeTexture::Save(MemoryStream& stream) {
  if (BaseTexture::Save(stream) != kOk) return kFailed;
  return SaveImage(stream, this, image_.Get());
}

int CubeTexture::Load(MemoryStream& stream) {
  if (BaseTexture::Load(stream) != kOk) return kFailed;
  Image* image = nullptr;
  if (LoadImage(stream, this, &image) != kOk) return kFailed;
  image_ = image;
  return kOk;
}

void VolumeTexture::SetImage(VolumeImage* image) {
  image_ = image;
  ImageChanged();
}

int VolumeTexture::Save(MemoryStream& stream) {
  if (BaseTexture::Save(stream) != kOk) return kFailed;
  return SaveImage(stream, this, image_.Get());
}

int VolumeTexture::Load(MemoryStream& stream) {
  if (BaseTexture::Load(stream) != kOk) return kFailed;
  VolumeImage* image = nullptr;
  if (LoadImage(stream, this, &image) != kOk) return kFailed;
  image_ = image;
  return kOk;
}

}  // namespace klx
