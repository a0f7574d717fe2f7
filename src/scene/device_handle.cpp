#include "scene/device_handle.h"

namespace klx {

DeviceHandle::DeviceHandle() = default;
DeviceHandle::~DeviceHandle() = default;

void DeviceHandle::Store(DeviceCopyOwner* maker, void* copy) {
  owner = maker;
  handle = copy;
}

void DeviceHandle::Clear() {
  owner = nullptr;
  handle = nullptr;
  reserved = 0;
  changed = true;
}

}  // namespace klx
