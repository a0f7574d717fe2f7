#pragma once
// The link from an engine resource (buffer, texture, shader, pass,
// render-state block, query) to its copy on the device: a changed flag that
// asks for the data to be uploaded again, the owner that made the copy
// (counted), and the copy itself.

#include <cstdint>

#include "core/ref_counted.h"

namespace klx {

class Object;

// Whoever makes device copies of engine resources (the renderer). A
// resource that goes while it has a copy asks the owner to drop it.
class DeviceCopyOwner : public RefCounted {
 public:
  // Deletes the device copy of `resource` and clears its handle.
  virtual void ReleaseCopyOf(Object* resource) = 0;
};

struct DeviceHandle {
  DeviceHandle();
  ~DeviceHandle();
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  bool changed = true;
  Ref<DeviceCopyOwner> owner;
  void* handle = nullptr;
  int32_t reserved = 0;

  bool HasCopy() const { return handle != nullptr; }
  // Keeps the copy and the owner that made it.
  void Store(DeviceCopyOwner* maker, void* copy);
  // Forgets the copy and the owner; the data will be uploaded again.
  void Clear();
};

}  // namespace klx
