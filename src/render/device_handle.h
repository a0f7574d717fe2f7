#pragma once
// The link from an engine resource (buffer, texture, shader, pass,
// render-state block, query) to its copy on the device: a changed flag that
// asks for the data to be uploaded again, the renderer that made the copy
// (counted), and the copy itself.

#include <cstdint>

#include "core/ref_counted.h"

namespace klx {

class Renderer;

struct DeviceHandle {
  // Out of line, so users need not see the renderer's definition.
  DeviceHandle();
  ~DeviceHandle();
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;

  bool changed = true;
  Ref<Renderer> owner;
  void* handle = nullptr;
  int32_t reserved = 0;

  bool HasCopy() const { return handle != nullptr; }
  // Takes the current renderer as owner and keeps the copy.
  void Store(void* copy);
  // Forgets the copy and the owner; the data will be uploaded again.
  void Clear();
};

}  // namespace klx
