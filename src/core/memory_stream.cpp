#include "core/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace klx {

namespace {

constexpr int32_t kNullLink = -1;

}  // namespace

MemoryStream::MemoryStream(int32_t initialSize, int32_t growthStep)
    : growthStep_(growthStep > 0 ? growthStep : 0) {
  if (initialSize > 0) {
    buffer_ = new (std::nothrow) uint8_t[static_cast<std::size_t>(initialSize)];
    if (buffer_ == nullptr) {
      LogError(KLX_TEXT("Недостаточно памяти для создания буффера потока."));
      error_ = kOutOfMemory;
    } else {
      size_ = initialSize;
    }
  }
}

MemoryStream::~MemoryStream() { delete[] buffer_; }

int MemoryStream::Grow(int64_t needed) {
  if (growthStep_ == 0) {
    LogWarning(KLX_TEXT("Приращение буффера равно 0."));
    return kFailed;
  }
  // Grow by whole steps in one go: the same final size as growing one step
  // at a time, without copying the content once per step.
  const int64_t steps = (needed - size_ + growthStep_ - 1) / growthStep_;
  const int64_t newSize = size_ + steps * growthStep_;
  if (newSize > std::numeric_limits<int32_t>::max()) {
    LogError(KLX_TEXT("Недостаточно памяти для создания буффера потока."));
    return kOutOfMemory;
  }
  uint8_t* buffer = new (std::nothrow) uint8_t[static_cast<std::size_t>(newSize)];
  if (buffer == nullptr) {
    LogError(KLX_TEXT("Недостаточно памяти для создания буффера потока."));
    return kOutOfMemory;
  }
  if (size_ > 0) std::memcpy(buffer, buffer_, static_cast<std::size_t>(size_));
  delete[] buffer_;
  buffer_ = buffer;
  size_ = static_cast<int32_t>(newSize);
  return kOk;
}

int MemoryStream::Write(const void* bytes, int32_t count) {
  if (error_ != 0) {
    LogWarning(KLX_TEXT("Неправильное состояние потока."));
    return error_;
  }
  if (count < 0) return SetError(kInvalidArg);
  const int64_t end = static_cast<int64_t>(position_) + count;
  if (end > size_) {
    const int result = Grow(end);
    if (result != kOk) {
      SetError(result);
      LogWarning(KLX_TEXT("Невозможно записать данные вследствие малого размера буффера."));
      return error_;
    }
  }
  if (count > 0) std::memcpy(buffer_ + position_, bytes, static_cast<std::size_t>(count));
  position_ += count;
  return kOk;
}

int MemoryStream::Read(void* bytes, int32_t count) {
  if (error_ != 0) {
    LogWarning(KLX_TEXT("Неправильное состояние потока."));
    return error_;
  }
  if (buffer_ == nullptr) {
    LogWarning(KLX_TEXT("Невозможно считать данные. Буффер не существует."));
    return SetError(kFailed);
  }
  if (count < 0 || static_cast<int64_t>(position_) + count > size_) {
    LogWarning(KLX_TEXT("Невозможно считать данные. Буффер переполнен."));
    return SetError(kFailed);
  }
  if (count > 0) std::memcpy(bytes, buffer_ + position_, static_cast<std::size_t>(count));
  position_ += count;
  return kOk;
}

void MemoryStream::AdoptBuffer(uint8_t* buffer, int32_t size) {
  delete[] buffer_;
  buffer_ = buffer;
  size_ = buffer != nullptr && size > 0 ? size : 0;
  position_ = 0;
}

void MemoryStream::ClearContent() {
  delete[] buffer_;
  buffer_ = nullptr;
  size_ = 0;
  position_ = 0;
  error_ = 0;
  depth_ = 0;
  written_.clear();
  read_.clear();
}

int MemoryStream::EnterObject(const String& className, int32_t id) {
  if (depth_ < kMaxObjectDepth) {
    ++depth_;
    return kOk;
  }
  LogError(KLX_TEXT("Превышена глубина вложенности объектов [%d]. RTTI[%s] ID[%d]"),
           kMaxObjectDepth, className.CStr(), id);
  return SetError(kFailed);
}

int MemoryStream::SetPosition(int32_t position) {
  if (position < 0 || position > size_) return kInvalidArg;
  position_ = position;
  return kOk;
}

int MemoryStream::Reset(const void* bytes, int32_t size) {
  uint8_t* buffer = nullptr;
  if (size > 0) {
    buffer = new (std::nothrow) uint8_t[static_cast<std::size_t>(size)];
    if (buffer == nullptr) {
      LogError(KLX_TEXT("Недостаточно памяти для создания буффера потока."));
      return SetError(kOutOfMemory);
    }
    std::memcpy(buffer, bytes, static_cast<std::size_t>(size));
  }
  delete[] buffer_;
  buffer_ = buffer;
  size_ = size > 0 ? size : 0;
  position_ = 0;
  return kOk;
}

// The engine targets little-endian machines only; the stream's byte order is
// the in-memory order.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "little-endian host expected");

int MemoryStream::WriteInt16(int16_t value) { return Write(&value, 2); }
int MemoryStream::WriteInt32(int32_t value) { return Write(&value, 4); }
int MemoryStream::WriteBool(bool value) { return WriteByte(value ? 1 : 0); }
int MemoryStream::WriteFloat(float value) { return Write(&value, 4); }
int MemoryStream::WriteDouble(double value) { return Write(&value, 8); }

int MemoryStream::WriteVector2(const Vector2& v) {
  WriteFloat(v.x);
  return WriteFloat(v.y);
}

int MemoryStream::WriteVector3(const Vector3& v) {
  WriteFloat(v.x);
  WriteFloat(v.y);
  return WriteFloat(v.z);
}

int MemoryStream::WriteVector4(const Vector4& v) {
  WriteFloat(v.x);
  WriteFloat(v.y);
  WriteFloat(v.z);
  return WriteFloat(v.w);
}

int MemoryStream::WriteQuaternion(const Quaternion& q) {
  WriteFloat(q.x);
  WriteFloat(q.y);
  WriteFloat(q.z);
  return WriteFloat(q.w);
}

int MemoryStream::WriteColor(const Color& c) {
  WriteFloat(c.r);
  WriteFloat(c.g);
  WriteFloat(c.b);
  return WriteFloat(c.a);
}

int MemoryStream::WriteTransform(const Transform& t) {
  WriteVector3(t.scale);
  WriteQuaternion(t.rotation);
  return WriteVector3(t.translation);
}

int MemoryStream::WriteVersion(const Version& v) {
  WriteInt32(v.major);
  WriteInt32(v.minor);
  return WriteInt32(v.build);
}

int MemoryStream::WriteString(const String& value) {
  WriteInt32(value.Length());
  return Write(value.CStr(), value.Length());
}

int MemoryStream::ReadInt16(int16_t& value) { return Read(&value, 2); }
int MemoryStream::ReadInt32(int32_t& value) { return Read(&value, 4); }
int MemoryStream::ReadFloat(float& value) { return Read(&value, 4); }
int MemoryStream::ReadDouble(double& value) { return Read(&value, 8); }

int MemoryStream::ReadBool(bool& value) {
  uint8_t byte = 0;
  const int result = ReadByte(byte);
  if (result == kOk) value = byte != 0;
  return result;
}

int MemoryStream::ReadFloats(std::initializer_list<float*> values) {
  for (float* value : values) {
    if (const int result = ReadFloat(*value); result != kOk) return result;
  }
  return kOk;
}

int MemoryStream::ReadVector2(Vector2& v) { return ReadFloats({&v.x, &v.y}); }
int MemoryStream::ReadVector3(Vector3& v) { return ReadFloats({&v.x, &v.y, &v.z}); }
int MemoryStream::ReadVector4(Vector4& v) { return ReadFloats({&v.x, &v.y, &v.z, &v.w}); }
int MemoryStream::ReadQuaternion(Quaternion& q) { return ReadFloats({&q.x, &q.y, &q.z, &q.w}); }
int MemoryStream::ReadColor(Color& c) { return ReadFloats({&c.r, &c.g, &c.b, &c.a}); }

int MemoryStream::ReadTransform(Transform& t) {
  int result = ReadVector3(t.scale);
  if (result == kOk) result = ReadQuaternion(t.rotation);
  if (result == kOk) result = ReadVector3(t.translation);
  t.isIdentity = false;
  t.rotationIsIdentity = false;
  return result;
}

int MemoryStream::ReadVersion(Version& v) {
  int result = ReadInt32(v.major);
  if (result == kOk) result = ReadInt32(v.minor);
  if (result == kOk) result = ReadInt32(v.build);
  return result;
}

int MemoryStream::ReadString(String& value) {
  int32_t count = 0;
  if (ReadInt32(count) != kOk) return error_;
  // A count beyond the remaining bytes cannot be satisfied: fail before
  // allocating, so a damaged length never asks for gigabytes.
  if (count < 0 || count > size_ - position_) {
    LogWarning(KLX_TEXT("Невозможно считать данные. Буффер переполнен."));
    return SetError(kFailed);
  }
  value = String(reinterpret_cast<const char*>(buffer_ + position_), count);
  position_ += count;
  return kOk;
}

int MemoryStream::WriteObject(Object* object) {
  if (object == nullptr) return WriteInt32(kNullLink);
  const int32_t id = object->GetID();
  LogInfo("Write ID[%d]", id);
  if (written_.count(id) != 0) return WriteInt32(id);
  if (WriteInt32(id) != kOk) return error_;
  written_[id] = object;
  if (WriteString(object->GetRTTI().GetName()) != kOk) return error_;
  if (EnterObject(object->GetRTTI().GetName(), id) != kOk) return error_;
  const int result = object->Save(*this);
  --depth_;
  if (result != kOk && error_ == 0) SetError(result);
  LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", object->GetRTTI().GetName().CStr(), id,
          object->GetName().CStr(), position_);
  return result != kOk ? result : error_;
}

int MemoryStream::ReadObject(Object*& out) {
  out = nullptr;
  const bool uncounted = nextUncounted_;
  nextUncounted_ = false;
  int32_t id = 0;
  if (ReadInt32(id) != kOk) return error_;
  LogInfo("Read ID[%d]", id);
  if (id == kNullLink) return error_;
  auto known = read_.find(id);
  if (known != read_.end()) {
    out = known->second.Get();
    return error_;
  }
  String className;
  if (ReadString(className) != kOk) return error_;
  CreateFunction create = FindCreateFunction(className);
  if (create == nullptr) {
    LogError(KLX_TEXT("Невозможно найти функцию создания объекта. RTTI[%s] ID[%d]"),
             className.CStr(), id);
    return SetError(kFailed);
  }
  Object* object = nullptr;
  if (create(&object) != kOk || object == nullptr) {
    LogError(KLX_TEXT("Невозможно создать объект. RTTI[%s] ID[%d]"), className.CStr(), id);
    return SetError(kFailed);
  }
  // Entered before loading, so links inside its own data back to it resolve.
  read_[id] = object;
  out = object;
  if (EnterObject(className, id) != kOk) return error_;
  reading_.push_back(Reading{object, uncounted});
  const int result = object->Load(*this);
  reading_.pop_back();
  --depth_;
  if (result != kOk && error_ == 0) SetError(result);
  LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", className.CStr(), object->GetID(),
          object->GetName().CStr(), position_);
  return result != kOk ? result : error_;
}

bool MemoryStream::IsReading(const Object* object) const {
  if (object == nullptr) return false;
  for (size_t i = reading_.size(); i-- > 0;) {
    if (reading_[i].object == object) return true;
    // Everything above this entry hangs from it by a link it does not count.
    if (reading_[i].uncounted) return false;
  }
  return false;
}

int MemoryStream::ReadClassMismatch(Object* object, const RTTI& expected) {
  return ReadClassMismatch(object, expected.GetName().CStr());
}

int MemoryStream::ReadClassMismatch(Object* object, const char* expected) {
  LogError(KLX_TEXT("Объект не является объектом класса [%s]. RTTI[%s] ID[%d] Имя[%s]"), expected,
           object->GetRTTI().GetName().CStr(), object->GetID(), object->GetName().CStr());
  return SetError(kFailed);
}

}  // namespace klx
