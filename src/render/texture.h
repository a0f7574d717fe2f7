#pragma once
// Textures as engine objects: an image (2D, six cube faces one after the
// other, or a volume) and a mip-map count, uploaded by the renderer on first
// use and again when marked changed. A loaded texture always gets a full
// mip chain.

#include <cstdint>

#include "assets/image.h"
#include "core/object.h"
#include "scene/device_handle.h"

namespace klx {

class BaseTexture : public Object {
  KLX_DECLARE_CLASS(BaseTexture)

 public:
  explicit BaseTexture(const String& name) : Object(name) {}
  ~BaseTexture() override;

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  // Runs the texture's controllers: those that make or remake its image.
  virtual void Update(double elapsed) { UpdateControllers(elapsed); }

  DeviceHandle& Handle() { return handle_; }
  int32_t GetMipMapCount() const { return mipMapCount_; }
  void SetMipMapCount(int32_t count) { mipMapCount_ = count; }

 protected:
  // A new image: a full chain, and the device copy is made again.
  void ImageChanged();

 private:
  DeviceHandle handle_;
  int32_t mipMapCount_ = 0;
};

class Texture : public BaseTexture {
  KLX_DECLARE_CLASS(Texture)

 public:
  explicit Texture(const String& name) : BaseTexture(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override {
    BaseTexture::VisitLinks(visit);
    visit(image_.Get());
  }

  Image* GetImage() const { return image_.Get(); }
  void SetImage(Image* image);
  // Whether the texture gets its own depth buffer when rendered into.
  bool HasOwnDepthBuffer() const { return ownDepthBuffer_; }
  void SetOwnDepthBuffer(bool own) { ownDepthBuffer_ = own; }

 private:
  bool ownDepthBuffer_ = true;
  Ref<Image> image_;
};

class CubeTexture : public BaseTexture {
  KLX_DECLARE_CLASS(CubeTexture)

 public:
  explicit CubeTexture(const String& name) : BaseTexture(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  void VisitLinks(const LinkVisitor& visit) const override {
    BaseTexture::VisitLinks(visit);
    visit(image_.Get());
  }

  // Six square faces, one after the other (+x, -x, +y, -y, +z, -z).
  Image* GetImage() const { return image_.Get(); }
  void SetImage(Image* image);

 private:
  Ref<Image> image_;
};

class VolumeTexture : public BaseTexture {
  KLX_DECLARE_CLASS(VolumeTexture)

 public:
  explicit VolumeTexture(const String& name) : BaseTexture(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  void VisitLinks(const LinkVisitor& visit) const override {
    BaseTexture::VisitLinks(visit);
    visit(image_.Get());
  }

  virtual VolumeImage* GetImage() const { return image_.Get(); }
  virtual void SetImage(VolumeImage* image);

 private:
  Ref<VolumeImage> image_;
};

}  // namespace klx
