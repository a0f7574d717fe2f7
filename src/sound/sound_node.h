#pragma once
// A sound in the scene: one file from the file manager played as a stream,
// optionally as a 3-D source that follows the node. While its playing flag
// is set the node keeps its channel playing every frame.

#include <cfloat>
#include <cstdint>

#include "core/engine_string.h"
#include "sound/sound_source.h"
#include "scene/node.h"

namespace klx {

class SoundNode : public Node {
  KLX_DECLARE_CLASS(SoundNode)

 public:
  explicit SoundNode(const String& name) : Node(name) {}

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void Update(double elapsed) override;
  void UpdateWorldBound() override;

  // Replaces the stream with one over the file's bytes. kInvalidArg when the
  // file is null, cannot be read or is empty, kOutOfMemory when its bytes
  // cannot be copied; a file the library cannot decode logs a warning and
  // leaves the node silent (kOk).
  int LoadSound(VirtualFile* file, bool is3D);
  void SetVolume(int32_t volume);
  void SetMinDistance(float distance);
  void SetLoop(bool loop);
  void SetPlaying(bool playing) { playing_ = playing; }

  bool GetLoop() const { return loop_; }
  float GetMinDistance() const { return minDistance_; }
  bool Is3D() const { return is3D_; }
  const String& GetFileName() const { return fileName_; }
  bool IsPlaying() const { return playing_; }
  int32_t GetVolume() const { return volume_; }
  HSTREAM GetChannel() const { return source_.Stream(); }

 private:
  bool loop_ = false;
  float minDistance_ = FLT_MAX;
  int32_t reserved_ = 0;  // stored and restored, not used
  bool is3D_ = false;
  String fileName_;
  bool playing_ = true;
  int32_t volume_ = 100;
  SoundSource source_;
};

}  // namespace klx
