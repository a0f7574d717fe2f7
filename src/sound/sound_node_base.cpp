#include "sound/sound_node_base.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "sound/sound_manager.h"
#include "vfs/file_manager.h"

namespace klx {

int SoundNodeBase::Save(MemoryStream& stream) {
  if (Node::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  WriteFields(stream);
  if (stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные источника звука. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int SoundNodeBase::Load(MemoryStream& stream) {
  if (Node::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (!ReadFields(stream)) {
    LogError(KLX_TEXT("Невозможно загрузить данные источника звука. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return AfterLoad();
}

void SoundNodeBase::UpdateWorldBound() { UpdateSoundWorldBound(*this, minDistance_); }

void SoundNodeBase::SetVolume(int32_t volume) {
  volume_ = volume;
  for (int32_t i = 0; i < GetStreamCount(); ++i) ApplyChannelVolume(GetStream(i), volume);
}

void SoundNodeBase::SetMinDistance(float distance) {
  minDistance_ = distance;
  bool applied = false;
  for (int32_t i = 0; i < GetStreamCount(); ++i) {
    if (GetStream(i) == 0) continue;
    ApplyChannelMinDistance(GetStream(i), distance);
    applied = true;
  }
  const AudioFunctions* audio = SoundManager::Audio();
  if (applied && audio != nullptr) audio->Apply3D();
}

VirtualFile* SoundNodeBase::FindSoundFile(const String& fileName) {
  VirtualFile* file = FileManager::FindFile(fileName);
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Невозможно найти файл [%s] для источника звука. ID[%d] Имя[%s]"), fileName.CStr(), GetID(),
               GetName().CStr());
  }
  return file;
}

}  // namespace klx
