#include "render/device_handle.h"

#include "render/renderer.h"

namespace klx {

DeviceHandle::DeviceHandle() = default;
DeviceHandle::~DeviceHandle() = default;

void DeviceHandle::Store(void* copy) {
  owner = GetRenderer();
  handle = copy;
}

void DeviceHandle::Clear() {
  owner = nullptr;
  handle = nullptr;
  reserved = 0;
  changed = true;
}

}  // namespace klx
