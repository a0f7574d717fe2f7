#include "sound/sound_source.h"

#include <new>

#include "core/result.h"
#include "sound/sound_manager.h"
#include "scene/bounding_volume.h"
#include "scene/node.h"
#include "vfs/virtual_file.h"

namespace klx {

void SoundSource::Release() {
  if (stream_ != 0) {
    if (const AudioFunctions* audio = SoundManager::Audio()) audio->StreamFree(stream_);
    stream_ = 0;
  }
  bytes_.reset();
  size_ = 0;
}

int SoundSource::ReadFile(VirtualFile* file) {
  if (file == nullptr || file->Open(VirtualFile::kRead) != kOk) return kInvalidArg;
  const int32_t size = file->GetSize();
  if (size <= 0) {
    file->Close();
    return kInvalidArg;
  }
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!bytes) {
    file->Close();
    return kOutOfMemory;
  }
  const int read = file->Read(bytes.get(), size);
  file->Close();
  if (read != kOk) return kInvalidArg;
  bytes_ = std::move(bytes);
  size_ = size;
  return kOk;
}

bool SoundSource::CreateStream(bool is3D) {
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio == nullptr || !bytes_) return false;
  stream_ = audio->StreamCreateFile(1, bytes_.get(), 0, static_cast<AUDIO_QWORD>(size_), is3D ? BASS_SAMPLE_3D : 0);
  return stream_ != 0;
}

void PlaceRelativeToListener(HSTREAM stream, const Vector3& worldPosition) {
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio == nullptr || stream == 0) return;
  const Vector3 listener = SoundManager::GetListenerPosition();
  const BASS_3DVECTOR relative{worldPosition.x - listener.x, worldPosition.y - listener.y,
                              worldPosition.z - listener.z};
  audio->ChannelSet3DPosition(stream, &relative, nullptr, nullptr);
  audio->Apply3D();
}

void ApplyChannelVolume(HSTREAM stream, int32_t volume) {
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio != nullptr && stream != 0) audio->ChannelSetAttributes(stream, -1, volume, -101);
}

void ApplyChannelMinDistance(HSTREAM stream, float minDistance) {
  const AudioFunctions* audio = SoundManager::Audio();
  if (audio != nullptr && stream != 0) audio->ChannelSet3DAttributes(stream, 0, minDistance, -1.0f, -1, -1, -1);
}

void UpdateSoundWorldBound(Node& node, float radius) {
  BoundingVolume* worldBound = node.GetWorldBound();
  if (!node.GetWorldBoundUpdate() || worldBound == nullptr) return;
  SphereBoundingVolume local;
  local.Set(Vector3{0.0f, 0.0f, 0.0f}, radius);
  local.TransformInto(worldBound, node.GetWorldTransform());
}

}  // namespace klx
