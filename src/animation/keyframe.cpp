#include "animation/keyframe.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"

namespace klx {

int Keyframe::Save(MemoryStream& stream) const {
  if (stream.WriteDouble(time) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные кифрейма."));
    return kFailed;
  }
  return kOk;
}

int Keyframe::Load(MemoryStream& stream) {
  if (stream.ReadDouble(time) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные кифрейма."));
    return kFailed;
  }
  return kOk;
}

int NodeKeyframe::Save(MemoryStream& stream) const {
  if (Keyframe::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные кифрейма."));
    return kFailed;
  }
  (void)stream.WriteVector3(translation);
  (void)stream.WriteQuaternion(rotation);
  (void)stream.WriteVector3(scale);
  if (stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные кифрейма."));
    return kFailed;
  }
  return kOk;
}

int NodeKeyframe::Load(MemoryStream& stream) {
  if (Keyframe::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные кифрейма."));
    return kFailed;
  }
  if (stream.ReadVector3(translation) != kOk || stream.ReadQuaternion(rotation) != kOk ||
      stream.ReadVector3(scale) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные кифрейма."));
    return kFailed;
  }
  return kOk;
}

int BoolKeyframe::Save(MemoryStream& stream) const {
  if (Keyframe::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные кифрейма."));
    return kFailed;
  }
  if (stream.WriteBool(value) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные кифрейма."));
    return kFailed;
  }
  return kOk;
}

int BoolKeyframe::Load(MemoryStream& stream) {
  if (Keyframe::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные кифрейма."));
    return kFailed;
  }
  if (stream.ReadBool(value) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные кифрейма."));
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
