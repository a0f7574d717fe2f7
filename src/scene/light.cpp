#include "scene/light.h"

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_CLASS(Light, Node)

Vector3 Light::GetPosition() const { return worldTransform_.translation; }

Vector3 Light::GetDirection() const {
  const Matrix4 rotation = Matrix4::Rotation(worldTransform_.rotation);
  return {rotation.m[2][0], rotation.m[2][1], rotation.m[2][2]};
}

int Light::Save(MemoryStream& stream) {
  if (Node::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  // One group; the stream's error state is tested once at the end.
  stream.WriteInt32(lightType);
  stream.WriteColor(ambient);
  stream.WriteColor(diffuse);
  stream.WriteColor(specular);
  stream.WriteFloat(attenuationConstant);
  stream.WriteFloat(attenuationLinear);
  stream.WriteFloat(attenuationQuadratic);
  stream.WriteBool(useAttenuation);
  stream.WriteFloat(spotFalloff);
  stream.WriteFloat(spotAngle);
  if (stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные источника света. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int Light::Load(MemoryStream& stream) {
  if (Node::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  const bool ok = stream.ReadInt32(lightType) == kOk && stream.ReadColor(ambient) == kOk &&
                  stream.ReadColor(diffuse) == kOk && stream.ReadColor(specular) == kOk &&
                  stream.ReadFloat(attenuationConstant) == kOk && stream.ReadFloat(attenuationLinear) == kOk &&
                  stream.ReadFloat(attenuationQuadratic) == kOk && stream.ReadBool(useAttenuation) == kOk &&
                  stream.ReadFloat(spotFalloff) == kOk && stream.ReadFloat(spotAngle) == kOk;
  if (!ok) {
    LogError(KLX_TEXT("Невозможно загрузить данные источника света. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
