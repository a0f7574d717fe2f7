#pragma once
// The engine's byte stream: a memory buffer with a position, a growth step
// and a sticky error state. After the first failed transfer every later one
// fails at once. Typed reads and writes are little-endian with no padding;
// object links write an object inline (ID, class name, data) the first time
// it is met in the stream and as a bare ID afterwards.

#include <cstdint>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "core/array.h"
#include "core/engine_string.h"
#include "core/log.h"
#include "core/math_types.h"
#include "core/object.h"
#include "core/ref_counted.h"

namespace klx {

struct Version {
  int32_t major = 0;
  int32_t minor = 0;
  int32_t build = 0;
  bool operator==(const Version& o) const {
    return major == o.major && minor == o.minor && build == o.build;
  }
};

class MemoryStream {
 public:
  // The deepest nesting of inline objects the stream writes or reads (an
  // object written inside another's data is one level deeper). Real scenes
  // nest as deep as their node trees, a few dozen levels; the bound keeps a
  // hostile file from exhausting the stack (each level is a chain of Load
  // calls: a few hundred bytes of stack, several times that under the
  // sanitizers), and the writer refuses what the reader would refuse.
  static constexpr int32_t kMaxObjectDepth = 2048;

  // Allocates `initialSize` bytes (none for 0); writes that do not fit grow
  // the buffer by `growthStep` bytes at a time.
  MemoryStream(int32_t initialSize, int32_t growthStep);
  virtual ~MemoryStream();
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  virtual int32_t GetSize() { return size_; }
  virtual int Write(const void* bytes, int32_t count);
  virtual int Read(void* bytes, int32_t count);

  int WriteByte(uint8_t value) { return Write(&value, 1); }
  int WriteInt16(int16_t value);
  int WriteInt32(int32_t value);
  int WriteBool(bool value);
  int WriteFloat(float value);
  int WriteDouble(double value);
  int WriteVector2(const Vector2& value);
  int WriteVector3(const Vector3& value);
  int WriteVector4(const Vector4& value);
  int WriteQuaternion(const Quaternion& value);
  int WriteColor(const Color& value);
  int WriteTransform(const Transform& value);
  int WriteVersion(const Version& value);
  int WriteString(const String& value);
  int WriteObject(Object* object);
  template <class T>
  int WriteObjectArray(const Array<Ref<T>>& array);

  [[nodiscard]] int ReadByte(uint8_t& value) { return Read(&value, 1); }
  [[nodiscard]] int ReadInt16(int16_t& value);
  [[nodiscard]] int ReadInt32(int32_t& value);
  [[nodiscard]] int ReadBool(bool& value);
  [[nodiscard]] int ReadFloat(float& value);
  [[nodiscard]] int ReadDouble(double& value);
  [[nodiscard]] int ReadVector2(Vector2& value);
  [[nodiscard]] int ReadVector3(Vector3& value);
  [[nodiscard]] int ReadVector4(Vector4& value);
  [[nodiscard]] int ReadQuaternion(Quaternion& value);
  [[nodiscard]] int ReadColor(Color& value);
  [[nodiscard]] int ReadTransform(Transform& value);
  [[nodiscard]] int ReadVersion(Version& value);
  [[nodiscard]] int ReadString(String& value);
  // Reads a link: null, an object read earlier from this stream, or a new
  // object made through the class factory and loaded. `out` is set even
  // when the object's load fails.
  [[nodiscard]] int ReadObject(Object*& out);
  // ReadObject that also requires the object to be of class T (or null).
  template <class T>
  [[nodiscard]] int ReadObjectOf(T*& out);
  // ReadObject that requires the object to implement interface I (or be
  // null); `kind` names what was expected in the log line. `object` is the
  // object read, `out` the same object as an I.
  template <class I>
  [[nodiscard]] int ReadObjectImplementing(Object*& object, I*& out, const char* kind);
  template <class T>
  [[nodiscard]] int ReadObjectArray(Array<Ref<T>>& array);
  // ReadObjectArray for a list `holder` keeps of objects it does not own
  // (nodes to draw, cameras to watch): a link to an object still being read
  // or to one that reaches `holder` would close a loop of counted
  // references, and is refused (kFailed, the array emptied).
  template <class T>
  [[nodiscard]] int ReadLinkList(Array<Ref<T>>& array, const Object& holder);

  // True while `object`'s own load is under way on this stream and what is
  // read now hangs from it by counted links all the way down: a counted
  // link to it from below would close a loop. An object entered through
  // an uncounted link (a node's parent) breaks that chain.
  bool IsReading(const Object* object) const;
  // The next link read is one its holder does not count (a node's parent).
  void NextLinkUncounted() { nextUncounted_ = true; }

  int GetError() const { return error_; }
  int32_t GetPosition() const { return position_; }
  // Moves the read/write position; kInvalidArg outside 0..size.
  int SetPosition(int32_t position);
  const uint8_t* GetBuffer() const { return buffer_; }

 protected:
  // Replaces the content with `size` bytes copied from `bytes`, position 0.
  int Reset(const void* bytes, int32_t size);
  // Takes ownership of a heap buffer (new[]) as the content, position 0.
  void AdoptBuffer(uint8_t* buffer, int32_t size);
  // Frees the content: no buffer, size and position 0, no links, no error.
  // A file does this when it closes, so every open starts a fresh stream.
  void ClearContent();
  int SetError(int error) { return error_ = error; }

 private:
  int Grow(int64_t needed);
  // kOk, or kFailed (logged, stream marked bad) when one more level of
  // inline objects would pass kMaxObjectDepth.
  int EnterObject(const String& className, int32_t id);
  // Reads the floats in order; the first failure ends it.
  int ReadFloats(std::initializer_list<float*> values);
  int ReadClassMismatch(Object* object, const RTTI& expected);
  int ReadClassMismatch(Object* object, const char* expected);

  uint8_t* buffer_ = nullptr;
  int32_t size_ = 0;
  int32_t growthStep_;
  int32_t position_ = 0;
  int error_ = 0;
  int32_t depth_ = 0;
  // Objects written to this stream, by ID (plain pointers: the caller's
  // graph keeps them alive while it is written).
  std::unordered_map<int32_t, Object*> written_;
  // Objects read from this stream, by file ID. The stream keeps a reference
  // so a link to an object whose load failed never points at freed memory.
  std::unordered_map<int32_t, Ref<Object>> read_;
  struct Reading {
    const Object* object;
    bool uncounted;  // entered through an uncounted link
  };
  std::vector<Reading> reading_;
  bool nextUncounted_ = false;
};

template <class T>
int MemoryStream::WriteObjectArray(const Array<Ref<T>>& array) {
  if (WriteInt32(array.Count()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество объектов."));
    return kFailed;
  }
  for (int32_t i = 0; i < array.Count(); ++i) {
    if (WriteObject(array[i].Get()) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить объект [%d]."), i);
      return kFailed;
    }
  }
  return kOk;
}

template <class T>
int MemoryStream::ReadObjectOf(T*& out) {
  out = nullptr;
  Object* object = nullptr;
  const int result = ReadObject(object);
  if (object != nullptr && !object->IsKindOf(T::TYPE)) return ReadClassMismatch(object, T::TYPE);
  out = static_cast<T*>(object);
  return result;
}

template <class I>
int MemoryStream::ReadObjectImplementing(Object*& object, I*& out, const char* kind) {
  out = nullptr;
  const int result = ReadObject(object);
  if (object == nullptr) return result;
  out = dynamic_cast<I*>(object);
  if (out == nullptr) return ReadClassMismatch(object, kind);
  return result;
}

template <class T>
int MemoryStream::ReadObjectArray(Array<Ref<T>>& array) {
  int32_t count = 0;
  if (ReadInt32(count) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить количество объектов."));
    return kFailed;
  }
  // Room for the links the remaining bytes can hold (4 bytes at least
  // each), so a long array is not regrown link by link and a damaged count
  // allocates nothing it cannot fill.
  const int32_t room = (GetSize() - GetPosition()) / 4;
  array.Reserve(array.Count() + (count < room ? count : room));
  for (int32_t i = 0; i < count; ++i) {
    T* object = nullptr;
    if (ReadObjectOf(object) != kOk) {
      LogError(KLX_TEXT("Невозможно загрузить объект [%d]."), i);
      return kFailed;
    }
    if (array.Append(Ref<T>(object)) == kOutOfMemory) {
      LogError(KLX_TEXT("Невозможно загрузить объект [%d]."), i);
      return SetError(kOutOfMemory);
    }
  }
  return kOk;
}

template <class T>
int MemoryStream::ReadLinkList(Array<Ref<T>>& array, const Object& holder) {
  array.Clear();
  int result = ReadObjectArray(array);
  for (int32_t i = 0; i < array.Count() && result == kOk; ++i) {
    const T* object = array[i].Get();
    if (object != nullptr && (IsReading(object) || ClosesLoop(&holder, object))) result = kFailed;
  }
  if (result != kOk) array.Clear();
  return result;
}

}  // namespace klx
