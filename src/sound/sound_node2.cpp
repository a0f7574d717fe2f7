#include "sound/sound_node2.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/random15.h"
#include "core/result.h"
#include "sound/sound_manager.h"
#include "vfs/file_manager.h"
#include "vfs/virtual_file.h"

namespace klx {
namespace {

// Triggers one update may catch up on.
constexpr int kMaxTriggersPerUpdate = 16;

}  // namespace

KLX_IMPLEMENT_CLASS(SoundNode2, Node)

bool SoundNode2::LoadOne(const String& fileName, SoundSource& source) {
  if (fileName.IsEmpty()) return false;
  VirtualFile* file = FindSoundFile(fileName);
  if (file == nullptr) return false;
  if (source.ReadFile(file) != kOk) return false;
  if (!source.CreateStream(is3D_)) {
    LogWarning(KLX_TEXT("Невозможно загрузить файл звука [%s]"), file->GetName().CStr());
    return false;
  }
  return true;
}

int SoundNode2::LoadSounds() {
  sourceA_.Release();
  sourceB_.Release();
  current_ = 0;
  LoadOne(fileNameA_, sourceA_);
  LoadOne(fileNameB_, sourceB_);
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio != nullptr && sourceB_.Stream() != 0) {
    // Each trigger plays a sound once.
    if (sourceA_.Stream() != 0) audio->ChannelSetFlags(sourceA_.Stream(), 0);
    audio->ChannelSetFlags(sourceB_.Stream(), 0);
  }
  if (audio != nullptr && is3D_) audio->Apply3D();
  SetMinDistance(minDistance_);
  return kOk;
}

void SoundNode2::WriteFields(MemoryStream& stream) {
  stream.WriteString(fileNameA_);
  stream.WriteString(fileNameB_);
  stream.WriteFloat(minDistance_);
  stream.WriteBool(is3D_);
  stream.WriteInt32(volume_);
  stream.WriteFloat(interval_);
  stream.WriteFloat(spread_);
}

bool SoundNode2::ReadFields(MemoryStream& stream) {
  return stream.ReadString(fileNameA_) == kOk && stream.ReadString(fileNameB_) == kOk &&
         stream.ReadFloat(minDistance_) == kOk && stream.ReadBool(is3D_) == kOk && stream.ReadInt32(volume_) == kOk &&
         stream.ReadFloat(interval_) == kOk && stream.ReadFloat(spread_) == kOk;
}

int SoundNode2::AfterLoad() {
  LoadSounds();
  SetVolume(volume_);
  SetMinDistance(minDistance_);
  return kOk;
}

void SoundNode2::Update(double elapsed) {
  Node::Update(elapsed);
  const HSTREAM a = sourceA_.Stream();
  const HSTREAM b = sourceB_.Stream();
  const AudioFunctions* audio = SoundManager::Audio();
  if (a == 0 || b == 0 || audio == nullptr) return;
  elapsed_ += static_cast<float>(elapsed);
  for (int triggers = 0; elapsed_ >= next_; ++triggers) {
    if (triggers == kMaxTriggersPerUpdate) {
      elapsed_ = 0.0f;  // a long pause: the missed triggers are dropped
      break;
    }
    elapsed_ -= next_;
    const float r = static_cast<float>(Random15()) / static_cast<float>(kRandom15Max);
    next_ = interval_ + (2.0f * r - 1.0f) * spread_;
    if (Random15() & 1) {
      audio->ChannelPlay(b, 1);
      audio->ChannelStop(a);
      current_ = b;
    } else {
      audio->ChannelPlay(a, 1);
      audio->ChannelStop(b);
      current_ = a;
    }
    if (next_ <= 0.0f) {
      // No time to the next trigger: it comes with the next update rather
      // than in an endless loop here.
      elapsed_ = 0.0f;
      next_ = 0.0f;
      break;
    }
  }
  if (current_ != 0 && is3D_) PlaceRelativeToListener(current_, GetWorldTransform().translation);
}

}  // namespace klx
