#include "animation/animation.h"

#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Animation, Object)
KLX_IMPLEMENT_CLASS(NodeAnimation, Animation)
KLX_IMPLEMENT_CLASS(BoolAnimation, Animation)

std::unique_ptr<Keyframe> Animation::CreateKeyframe() const {
  return std::unique_ptr<Keyframe>(new (std::nothrow) Keyframe());
}

std::unique_ptr<Keyframe> NodeAnimation::CreateKeyframe() const {
  return std::unique_ptr<Keyframe>(new (std::nothrow) NodeKeyframe());
}

std::unique_ptr<Keyframe> BoolAnimation::CreateKeyframe() const {
  return std::unique_ptr<Keyframe>(new (std::nothrow) BoolKeyframe());
}

int Animation::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(GetKeyframeCount()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество кифреймов анимации. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  for (const std::unique_ptr<Keyframe>& keyframe : keyframes_) {
    if (keyframe->Save(stream) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить кифрейм анимации. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
      return kFailed;
    }
  }
  return kOk;
}

int Animation::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  // A count the remaining bytes cannot hold is refused before anything is
  // allocated for it.
  int32_t count = 0;
  const bool counted = stream.ReadInt32(count) == kOk;
  const int32_t room = (stream.GetSize() - stream.GetPosition()) / GetStoredKeyframeSize();
  if (!counted || count < 0 || count > room) {
    LogError(KLX_TEXT("Невозможно загрузить количество кифреймов анимации. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  keyframes_.clear();
  keyframes_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    std::unique_ptr<Keyframe> keyframe = CreateKeyframe();
    if (!keyframe) {
      LogError(KLX_TEXT("Недостаточно памяти для создания кифрейма. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
      return kOutOfMemory;
    }
    if (keyframe->Load(stream) != kOk) {
      LogError(KLX_TEXT("Невозможно загрузить кифрейм анимации. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
      return kFailed;
    }
    keyframes_.push_back(std::move(keyframe));
  }
  return kOk;
}

}  // namespace klx
