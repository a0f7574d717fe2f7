#pragma once
// The device copies of engine resources: made on first use, uploaded again
// while a resource is marked changed, and listed by the resource's object ID
// so that all of them can be dropped when the device goes or is lost.

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "device/device.h"
#include "scene/device_handle.h"

namespace klx {

class Object;
class Buffer;
class IntBuffer;
class BaseTexture;
class Shader;
class OcclusionQuery;

class DeviceResourceCache {
 public:
  // `owner` is what the copies' handles name as their maker.
  explicit DeviceResourceCache(DeviceCopyOwner* owner) : owner_(owner) {}
  DeviceResourceCache(const DeviceResourceCache&) = delete;
  DeviceResourceCache& operator=(const DeviceResourceCache&) = delete;

  // The device copies are made on; null while there is none. Indices are
  // stored 32 bits wide when `wideIndices`, else 16.
  void SetDevice(d3d::Device* device, bool wideIndices);

  size_t Count() const { return table_.size(); }
  // Some resource that still has a copy; null when none has.
  Object* AnyResource() const { return table_.empty() ? nullptr : table_.begin()->second; }
  // Takes a copy made elsewhere into the handle and the list.
  void Keep(Object* resource, DeviceHandle& handle, void* copy);
  // Deletes a resource's device copy and clears its handle.
  void Drop(Object* resource, DeviceHandle& handle);
  // Takes a resource off the list without touching its copy.
  void Forget(Object* resource);

  // The device copy of a resource, made or refreshed as needed; null when
  // it cannot be made.
  d3d::VertexBuffer* VertexBufferOf(Buffer* buffer);
  d3d::IndexBuffer* IndexBufferOf(IntBuffer* buffer);
  d3d::BaseTexture* TextureOf(BaseTexture* texture);
  // A shader whose text failed to assemble stays without a copy until the
  // text changes; the failure is logged and shown once.
  d3d::Shader* ShaderOf(Shader* shader);
  // The query's copy, made on first use; null when the device has none.
  d3d::OcclusionQuery* QueryOf(OcclusionQuery* query);

 private:
  bool UploadTexture(BaseTexture* texture, d3d::BaseTexture* copy);

  DeviceCopyOwner* owner_;
  d3d::Device* device_ = nullptr;
  bool wideIndices_ = true;
  std::unordered_map<int32_t, Object*> table_;
};

// The device format of an image format.
d3d::Format DeviceFormatOf(uint32_t imageFormat);

}  // namespace klx
