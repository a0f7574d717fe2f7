#pragma once
// An object's stored bytes, and reading an object back from bytes, for
// tests that patch a stored form to see what a damaged file does.

#include <cstdint>
#include <vector>

#include "core/memory_stream.h"
#include "core/object.h"
#include "core/result.h"

namespace klx::test {

// The bytes WriteObject makes of `object` (empty when it fails).
inline std::vector<uint8_t> StoredBytes(Object* object) {
  MemoryStream stream(1 << 16, 1 << 16);
  if (stream.WriteObject(object) != kOk) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.GetPosition()));
  stream.SetPosition(0);
  if (stream.Read(bytes.data(), static_cast<int32_t>(bytes.size())) != kOk) return {};
  return bytes;
}

// ReadObject over the bytes; the object read (or null) in `loaded`.
inline int ReadStoredBytes(const std::vector<uint8_t>& bytes, Object** loaded) {
  MemoryStream stream(static_cast<int32_t>(bytes.size()), 16);
  if (stream.Write(bytes.data(), static_cast<int32_t>(bytes.size())) != kOk) return kFailed;
  stream.SetPosition(0);
  Object* object = nullptr;
  const int result = stream.ReadObject(object);
  if (loaded != nullptr) *loaded = object;
  return result;
}

}  // namespace klx::test
