#include "scene/data_buffer.h"

#include <new>

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Buffer, Object)
KLX_IMPLEMENT_CLASS(FloatBuffer, Buffer)
KLX_IMPLEMENT_CLASS(IntBuffer, Buffer)
KLX_IMPLEMENT_CLASS(Vector2Buffer, Buffer)
KLX_IMPLEMENT_CLASS(Vector3Buffer, Buffer)
KLX_IMPLEMENT_CLASS(Vector4Buffer, Buffer)
KLX_IMPLEMENT_CLASS(ColorBuffer, Buffer)
KLX_IMPLEMENT_ABSTRACT_CLASS(OcclusionQuery, Object)

Buffer::~Buffer() {
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
  FreeData();
}

bool Buffer::Allocate(int32_t count, bool clear) {
  FreeData();
  const size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(GetElementSize());
  bytes_ = clear ? new (std::nothrow) uint8_t[bytes]() : new (std::nothrow) uint8_t[bytes];
  if (bytes_ == nullptr) {
    LogError(KLX_TEXT("Недостаточно памяти для создания массива данных буффера. ID[%d]."), GetID());
    return false;
  }
  count_ = count;
  return true;
}

void Buffer::FreeData() {
  delete[] bytes_;
  bytes_ = nullptr;
  count_ = 0;
}

int Buffer::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(count_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество данных буффера. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  if (count_ > 0 && stream.Write(bytes_, GetDataSize()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные буффера. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int Buffer::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  int32_t count = 0;
  if (stream.ReadInt32(count) != kOk || count < 0) {
    LogError(KLX_TEXT("Невозможно загрузить количество данных буффера. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  FreeData();
  if (count > 0) {
    // A count the rest of the stream cannot hold is a damaged file, not a
    // reason to allocate gigabytes.
    const int64_t bytes = static_cast<int64_t>(count) * GetElementSize();
    if (bytes > static_cast<int64_t>(stream.GetSize()) - stream.GetPosition()) {
      LogError(KLX_TEXT("Невозможно загрузить данные буффера. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
      return kFailed;
    }
    const size_t size = static_cast<size_t>(bytes);
    bytes_ = new (std::nothrow) uint8_t[size];
    if (bytes_ == nullptr) {
      LogError(KLX_TEXT("Недостаточно памяти для создания буффера. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
      return kOutOfMemory;
    }
    count_ = count;
    if (stream.Read(bytes_, static_cast<int32_t>(bytes)) != kOk) {
      FreeData();
      LogError(KLX_TEXT("Невозможно загрузить данные буффера. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
      return kFailed;
    }
  }
  MarkChanged();
  return kOk;
}

OcclusionQuery::~OcclusionQuery() {
  if (handle_.owner) handle_.owner->ReleaseCopyOf(this);
}

}  // namespace klx
