#pragma once
// Typed data buffers: one contiguous array of floats, integers, vectors or
// colours, shared between geometry nodes by counted reference and saved as
// objects of their own (the element count, then the raw array). Each
// carries a device handle; a buffer marked changed is uploaded again by the
// renderer, and a destroyed buffer asks its renderer to drop the copy.

#include <cstdint>
#include <cstring>

#include "core/math_types.h"
#include "core/object.h"
#include "scene/device_handle.h"

namespace klx {

class Buffer : public Object {
  KLX_DECLARE_CLASS(Buffer)

 public:
  explicit Buffer(const String& name) : Object(name) {}
  ~Buffer() override;

  // The array: its size in bytes, its element count, its data, and the size
  // of one element.
  virtual int32_t GetDataSize() const = 0;  // bytes
  virtual int32_t GetCount() const = 0;
  virtual void* GetData() = 0;
  virtual int32_t GetElementSize() const = 0;

  DeviceHandle& Handle() { return handle_; }
  void MarkChanged() { handle_.changed = true; }
  bool IsChanged() const { return handle_.changed; }

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

 protected:
  // The array; owned. Null with a count of 0.
  uint8_t* bytes_ = nullptr;
  int32_t count_ = 0;
  // Allocates `count` elements (zeroed when `clear`); false when memory is
  // short (the buffer then has no array).
  bool Allocate(int32_t count, bool clear);
  void FreeData();

 private:
  DeviceHandle handle_;
};

// The array part shared by the concrete buffers.
template <class T, bool kClearNew>
class TypedBuffer : public Buffer {
 public:
  // A buffer of `count` elements, copied from `data` when given (new
  // elements are zeroed for the vector types).
  TypedBuffer(const String& name, int32_t count, const T* data) : Buffer(name) {
    if (count > 0 && Allocate(count, kClearNew) && data != nullptr) {
      std::memcpy(bytes_, data, static_cast<size_t>(count) * sizeof(T));
    }
  }
  int32_t GetDataSize() const override { return count_ * static_cast<int32_t>(sizeof(T)); }
  int32_t GetCount() const override { return count_; }
  void* GetData() override { return bytes_; }
  int32_t GetElementSize() const override { return static_cast<int32_t>(sizeof(T)); }
  T* Elements() { return reinterpret_cast<T*>(bytes_); }
  const T* Elements() const { return reinterpret_cast<const T*>(bytes_); }
};

class FloatBuffer : public TypedBuffer<float, false> {
  KLX_DECLARE_CLASS(FloatBuffer)

 public:
  explicit FloatBuffer(const String& name, int32_t count = 0, const float* data = nullptr)
      : TypedBuffer(name, count, data) {}
};

class IntBuffer : public TypedBuffer<int32_t, false> {
  KLX_DECLARE_CLASS(IntBuffer)

 public:
  explicit IntBuffer(const String& name, int32_t count = 0, const int32_t* data = nullptr)
      : TypedBuffer(name, count, data) {}
};

class Vector2Buffer : public TypedBuffer<Vector2, true> {
  KLX_DECLARE_CLASS(Vector2Buffer)

 public:
  explicit Vector2Buffer(const String& name, int32_t count = 0, const Vector2* data = nullptr)
      : TypedBuffer(name, count, data) {}
};

class Vector3Buffer : public TypedBuffer<Vector3, true> {
  KLX_DECLARE_CLASS(Vector3Buffer)

 public:
  explicit Vector3Buffer(const String& name, int32_t count = 0, const Vector3* data = nullptr)
      : TypedBuffer(name, count, data) {}
};

class Vector4Buffer : public TypedBuffer<Vector4, true> {
  KLX_DECLARE_CLASS(Vector4Buffer)

 public:
  explicit Vector4Buffer(const String& name, int32_t count = 0, const Vector4* data = nullptr)
      : TypedBuffer(name, count, data) {}
};

class ColorBuffer : public TypedBuffer<Color, false> {
  KLX_DECLARE_CLASS(ColorBuffer)

 public:
  explicit ColorBuffer(const String& name, int32_t count = 0, const Color* data = nullptr)
      : TypedBuffer(name, count, data) {}
};

// An occlusion query as an engine object: a device handle and nothing
// else; the renderer counts the samples.
class OcclusionQuery : public Object {
  KLX_DECLARE_CLASS(OcclusionQuery)

 public:
  explicit OcclusionQuery(const String& name) : Object(name) {}
  ~OcclusionQuery() override;
  DeviceHandle& Handle() { return handle_; }

 private:
  DeviceHandle handle_;
};

}  // namespace klx
