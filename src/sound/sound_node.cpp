#include "sound/sound_node.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "sound/sound_manager.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SoundNode, Node)

int SoundNode::LoadSound(VirtualFile* file, bool is3D) {
  source_.Release();
  const int read = source_.ReadFile(file);
  if (read != kOk) return read;
  is3D_ = is3D;
  if (!source_.CreateStream(is3D)) {
    LogWarning(KLX_TEXT("Невозможно загрузить файл звука [%s]"), file->GetName().CStr());
  }
  SetLoop(loop_);
  if (is3D_) {
    if (const AudioFunctions* audio = SoundManager::Audio()) audio->Apply3D();
  }
  fileName_ = file->GetName();
  SetMinDistance(minDistance_);
  return kOk;
}

void SoundNode::SetVolume(int32_t volume) {
  volume_ = volume;
  ApplyChannelVolume(source_.Stream(), volume);
}

void SoundNode::SetMinDistance(float distance) {
  minDistance_ = distance;
  if (source_.Stream() == 0) return;
  ApplyChannelMinDistance(source_.Stream(), distance);
  if (const AudioFunctions* audio = SoundManager::Audio()) audio->Apply3D();
}

void SoundNode::SetLoop(bool loop) {
  loop_ = loop;
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio != nullptr && source_.Stream() != 0) audio->ChannelSetFlags(source_.Stream(), loop ? BASS_SAMPLE_LOOP : 0);
}

int SoundNode::Save(MemoryStream& stream) {
  if (Node::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  stream.WriteBool(loop_);
  stream.WriteFloat(minDistance_);
  stream.WriteInt32(reserved_);
  stream.WriteBool(is3D_);
  stream.WriteString(fileName_);
  stream.WriteBool(playing_);
  stream.WriteInt32(volume_);
  if (stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные источника звука. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int SoundNode::Load(MemoryStream& stream) {
  if (Node::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  const bool ok = stream.ReadBool(loop_) == kOk && stream.ReadFloat(minDistance_) == kOk &&
                  stream.ReadInt32(reserved_) == kOk && stream.ReadBool(is3D_) == kOk &&
                  stream.ReadString(fileName_) == kOk && stream.ReadBool(playing_) == kOk &&
                  stream.ReadInt32(volume_) == kOk;
  if (!ok) {
    LogError(KLX_TEXT("Невозможно загрузить данные источника звука. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  VirtualFile* file = FileManager::FindFile(fileName_);
  if (file == nullptr) {
    LogWarning(KLX_TEXT("Невозможно найти файл [%s] для источника звука. ID[%d] Имя[%s]"), fileName_.CStr(), GetID(),
               GetName().CStr());
    return kOk;
  }
  if (LoadSound(file, is3D_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить звук источника звука. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  SetVolume(volume_);
  SetMinDistance(minDistance_);
  return kOk;
}

void SoundNode::Update(double elapsed) {
  Node::Update(elapsed);
  const HSTREAM stream = source_.Stream();
  const AudioFunctions* audio = SoundManager::Audio();
  if (!playing_ || stream == 0 || audio == nullptr) return;
  if (is3D_) PlaceRelativeToListener(stream, GetWorldTransform().translation);
  // Every frame: keeps the channel going from where it is.
  audio->ChannelPlay(stream, 0);
}

void SoundNode::UpdateWorldBound() { UpdateSoundWorldBound(*this, minDistance_); }

}  // namespace klx
