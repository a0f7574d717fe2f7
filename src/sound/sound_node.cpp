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

void SoundNode::SetLoop(bool loop) {
  loop_ = loop;
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio != nullptr && source_.Stream() != 0) audio->ChannelSetFlags(source_.Stream(), loop ? BASS_SAMPLE_LOOP : 0);
}

void SoundNode::WriteFields(MemoryStream& stream) {
  stream.WriteBool(loop_);
  stream.WriteFloat(minDistance_);
  stream.WriteInt32(reserved_);
  stream.WriteBool(is3D_);
  stream.WriteString(fileName_);
  stream.WriteBool(playing_);
  stream.WriteInt32(volume_);
}

bool SoundNode::ReadFields(MemoryStream& stream) {
  return stream.ReadBool(loop_) == kOk && stream.ReadFloat(minDistance_) == kOk &&
         stream.ReadInt32(reserved_) == kOk && stream.ReadBool(is3D_) == kOk &&
         stream.ReadString(fileName_) == kOk && stream.ReadBool(playing_) == kOk && stream.ReadInt32(volume_) == kOk;
}

int SoundNode::AfterLoad() {
  VirtualFile* file = FindSoundFile(fileName_);
  if (file == nullptr) return kOk;  // silent, with the warning
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

}  // namespace klx
