#include "render/device_resource_cache.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "assets/image.h"
#include "core/log.h"
#include "platform/message_box.h"
#include "render/shader.h"
#include "render/texture.h"
#include "scene/data_buffer.h"

namespace klx {
namespace {

// Image pixels (rows bottom first, R G B [A]) to the device's layout (rows
// top first, B G R A).
std::vector<uint8_t> DeviceTexels(const uint8_t* pixels, uint32_t format, uint32_t width, uint32_t height) {
  const uint32_t out = format == kImageA8 ? 1 : 4;
  const uint32_t in = BytesPerPixel(format);
  std::vector<uint8_t> texels(static_cast<size_t>(width) * height * out);
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* source = pixels + static_cast<size_t>(height - 1 - row) * width * in;
    uint8_t* target = texels.data() + static_cast<size_t>(row) * width * out;
    for (uint32_t x = 0; x < width; ++x, source += in, target += out) {
      if (format == kImageA8) {
        target[0] = source[0];
      } else {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
        target[3] = format == kImageRGBA8 ? source[3] : 255;
      }
    }
  }
  return texels;
}

}  // namespace

d3d::Format DeviceFormatOf(uint32_t imageFormat) {
  switch (imageFormat) {
    case kImageRGBA8: return d3d::kFmtA8R8G8B8;
    case kImageA8: return d3d::kFmtA8;
    case kImageFormat64: return d3d::kFmtA16B16G16R16F;
    default: return d3d::kFmtX8R8G8B8;
  }
}

void DeviceResourceCache::SetDevice(d3d::Device* device, bool wideIndices) {
  device_ = device;
  wideIndices_ = wideIndices;
}

void DeviceResourceCache::Keep(Object* resource, DeviceHandle& handle, void* copy) {
  handle.Store(owner_, copy);
  table_[resource->GetID()] = resource;
}

void DeviceResourceCache::Drop(Object* resource, DeviceHandle& handle) {
  delete static_cast<d3d::DeviceObject*>(handle.handle);
  Forget(resource);
  handle.Clear();
}

void DeviceResourceCache::Forget(Object* resource) { table_.erase(resource->GetID()); }

d3d::VertexBuffer* DeviceResourceCache::VertexBufferOf(Buffer* buffer) {
  if (buffer == nullptr || !device_ || buffer->GetCount() == 0) return nullptr;
  DeviceHandle& handle = buffer->Handle();
  auto* copy = static_cast<d3d::VertexBuffer*>(handle.handle);
  if (copy == nullptr) {
    copy = device_->CreateVertexBuffer(static_cast<uint32_t>(buffer->GetDataSize())).release();
    if (copy == nullptr) return nullptr;
    Keep(buffer, handle, copy);
    handle.changed = true;
  }
  if (handle.changed) {
    copy->Write(0, buffer->GetData(), std::min<uint32_t>(copy->GetSize(), static_cast<uint32_t>(buffer->GetDataSize())));
    handle.changed = false;
  }
  return copy;
}

d3d::IndexBuffer* DeviceResourceCache::IndexBufferOf(IntBuffer* buffer) {
  if (buffer == nullptr || !device_ || buffer->GetCount() == 0) return nullptr;
  DeviceHandle& handle = buffer->Handle();
  auto* copy = static_cast<d3d::IndexBuffer*>(handle.handle);
  const uint32_t size = static_cast<uint32_t>(buffer->GetCount()) * (wideIndices_ ? 4u : 2u);
  if (copy == nullptr) {
    copy = device_->CreateIndexBuffer(size, wideIndices_ ? d3d::kFmtIndex32 : d3d::kFmtIndex16).release();
    if (copy == nullptr) return nullptr;
    Keep(buffer, handle, copy);
    handle.changed = true;
  }
  if (handle.changed) {
    if (wideIndices_) {
      copy->Write(0, buffer->GetData(), std::min(size, copy->GetSize()));
    } else {
      std::vector<uint16_t> narrow(static_cast<size_t>(buffer->GetCount()));
      for (size_t i = 0; i < narrow.size(); ++i) narrow[i] = static_cast<uint16_t>(buffer->Elements()[i]);
      copy->Write(0, narrow.data(), std::min(size, copy->GetSize()));
    }
    handle.changed = false;
  }
  return copy;
}

bool DeviceResourceCache::UploadTexture(BaseTexture* texture, d3d::BaseTexture* copy) {
  Image* image = nullptr;
  uint32_t faces = 1;
  uint32_t slices = 1;
  if (auto* plain = DynamicCast<Texture>(texture)) {
    image = plain->GetImage();
  } else if (auto* cube = DynamicCast<CubeTexture>(texture)) {
    image = cube->GetImage();
    faces = 6;
  } else if (auto* volume = DynamicCast<VolumeTexture>(texture)) {
    image = volume->GetImage();
    if (image != nullptr) slices = volume->GetImage()->GetDepth();
  }
  if (image == nullptr || !image->RestorePixels()) return false;
  const uint32_t width = image->GetWidth();
  const uint32_t height = faces == 6 ? width : image->GetHeight();
  const size_t faceBytes = static_cast<size_t>(width) * height * BytesPerPixel(image->GetFormat());
  const uint32_t texel = image->GetFormat() == kImageA8 ? 1 : 4;
  if (slices > 1) {
    std::vector<uint8_t> all;
    for (uint32_t slice = 0; slice < slices; ++slice) {
      const std::vector<uint8_t> texels = DeviceTexels(image->GetPixels() + slice * faceBytes, image->GetFormat(), width, height);
      all.insert(all.end(), texels.begin(), texels.end());
    }
    if (!copy->WriteLevel(0, 0, all.data(), width * texel, width * height * texel)) return false;
  } else {
    for (uint32_t face = 0; face < faces; ++face) {
      const std::vector<uint8_t> texels = DeviceTexels(image->GetPixels() + face * faceBytes, image->GetFormat(), width, height);
      if (!copy->WriteLevel(face, 0, texels.data(), width * texel, 0)) return false;
    }
  }
  if (!copy->GenerateMipChain()) return false;
  // The device holds the pixels now; an image decoded from a file is
  // decoded again should the copy have to be made anew.
  image->ReleasePixels();
  return true;
}

d3d::BaseTexture* DeviceResourceCache::TextureOf(BaseTexture* texture) {
  if (texture == nullptr || !device_) return nullptr;
  DeviceHandle& handle = texture->Handle();
  auto* copy = static_cast<d3d::BaseTexture*>(handle.handle);
  if (copy == nullptr) {
    Image* image = nullptr;
    std::unique_ptr<d3d::BaseTexture> made;
    const uint32_t levels = static_cast<uint32_t>(std::max(0, texture->GetMipMapCount()));
    if (auto* plain = DynamicCast<Texture>(texture); plain != nullptr && (image = plain->GetImage()) != nullptr) {
      made = device_->CreateTexture(image->GetWidth(), image->GetHeight(), levels, d3d::kUsageNone, DeviceFormatOf(image->GetFormat()));
    } else if (auto* cube = DynamicCast<CubeTexture>(texture); cube != nullptr && (image = cube->GetImage()) != nullptr) {
      made = device_->CreateCubeTexture(image->GetWidth(), levels, d3d::kUsageNone, DeviceFormatOf(image->GetFormat()));
    } else if (auto* volume = DynamicCast<VolumeTexture>(texture); volume != nullptr && volume->GetImage() != nullptr) {
      VolumeImage* v = volume->GetImage();
      made = device_->CreateVolumeTexture(v->GetWidth(), v->GetHeight(), v->GetDepth(), levels, DeviceFormatOf(v->GetFormat()));
      image = v;
    }
    if (image == nullptr || !image->RestorePixels()) return nullptr;  // binds as null
    if (!made) {
      LogError(KLX_TEXT("Невозможно создать системную текстуру для обновления изображения текстуры [%s]."),
               texture->GetName().CStr());
      return nullptr;
    }
    copy = made.release();
    Keep(texture, handle, copy);
    texture->SetMipMapCount(static_cast<int32_t>(copy->GetLevelCount()));
    handle.changed = true;
  }
  if (handle.changed && (copy->GetUsage() == d3d::kUsageNone)) {
    if (!UploadTexture(texture, copy)) {
      LogError(KLX_TEXT("Невозможно обновить изображение текстуры [%s]."), texture->GetName().CStr());
      return copy;  // stays marked changed
    }
    handle.changed = false;
  }
  return copy;
}

d3d::Shader* DeviceResourceCache::ShaderOf(Shader* shader) {
  if (shader == nullptr || device_ == nullptr) return nullptr;
  DeviceHandle& handle = shader->Handle();
  if (handle.handle == nullptr) {
    if (!handle.changed) return nullptr;  // failed before: no shader until the text changes
    std::string error;
    const std::string text(shader->GetText() != nullptr ? shader->GetText() : "",
                           static_cast<size_t>(shader->GetTextLength()));
    auto made = device_->CreateShader(shader->GetShaderType() == 0 ? d3d::kVertexShader : d3d::kPixelShader, text, &error);
    handle.changed = false;
    if (!made) {
      LogError("%s", error.c_str());
      ShowMessageBox("", error.c_str());
      return nullptr;
    }
    Keep(shader, handle, made.release());
  }
  return static_cast<d3d::Shader*>(handle.handle);
}

d3d::OcclusionQuery* DeviceResourceCache::QueryOf(OcclusionQuery* query) {
  if (query == nullptr || device_ == nullptr) return nullptr;
  DeviceHandle& handle = query->Handle();
  if (handle.handle == nullptr) {
    auto made = device_->CreateOcclusionQuery();
    if (!made) {
      handle.reserved = 0;
      return nullptr;
    }
    Keep(query, handle, made.release());
  }
  return static_cast<d3d::OcclusionQuery*>(handle.handle);
}

}  // namespace klx
