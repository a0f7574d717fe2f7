#pragma once
// What the two sound node classes share: a file's bytes kept alive for the
// stream made from them, stream creation, placing a 3-D stream relative to
// the listener, and the sphere world bound of radius minDistance.

#include <cstdint>
#include <memory>

#include "audio_library/audio_interface.h"
#include "core/math_types.h"

namespace klx {

class Node;
class VirtualFile;

// The bytes of a sound file and the stream that plays them. The stream is
// freed before the bytes, which it reads while it plays.
class SoundSource {
 public:
  SoundSource() = default;
  ~SoundSource() { Release(); }
  SoundSource(const SoundSource&) = delete;
  SoundSource& operator=(const SoundSource&) = delete;

  // Frees the stream (while the audio library is loaded) and the bytes.
  void Release();
  // Copies an open-able file's content: kInvalidArg (3) when the file is
  // null, does not open for reading or is empty, kOutOfMemory (2) when the
  // copy cannot be made. The file is closed again.
  int ReadFile(VirtualFile* file);
  // A stream over the bytes; false when there is no library, no bytes, or
  // the library cannot decode them.
  bool CreateStream(bool is3D);

  HSTREAM Stream() const { return stream_; }
  bool HasData() const { return bytes_ != nullptr; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  int32_t size_ = 0;
  HSTREAM stream_ = 0;
};

// Sets a stream's 3-D position to the world position minus the listener's,
// then applies the 3-D settings.
void PlaceRelativeToListener(HSTREAM stream, const Vector3& worldPosition);

// BASS_ChannelSetAttributes(stream, frequency unchanged, volume, pan unchanged).
void ApplyChannelVolume(HSTREAM stream, int32_t volume);
// BASS_ChannelSet3DAttributes(stream, normal mode, minimum distance, the rest unchanged).
void ApplyChannelMinDistance(HSTREAM stream, float minDistance);

// The node's world bound becomes the sphere of the radius around its origin,
// carried by its world transform (when its world-bound update is on).
void UpdateSoundWorldBound(Node& node, float radius);

}  // namespace klx
