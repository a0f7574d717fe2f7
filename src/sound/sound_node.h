#pragma once
// A sound in the scene: one file from the file manager played as a stream,
// optionally as a 3-D source that follows the node. While its playing flag
// is set the node keeps its channel playing every frame.

#include <cstdint>

#include "core/engine_string.h"
#include "sound/sound_node_base.h"

namespace klx {

class SoundNode : public SoundNodeBase {
  KLX_DECLARE_CLASS(SoundNode)

 public:
  explicit SoundNode(const String& name) : SoundNodeBase(name) {}

  void Update(double elapsed) override;

  // Replaces the stream with one over the file's bytes. kInvalidArg when the
  // file is null, cannot be read or is empty, kOutOfMemory when its bytes
  // cannot be copied; a file the library cannot decode logs a warning and
  // leaves the node silent (kOk).
  int LoadSound(VirtualFile* file, bool is3D);
  void SetLoop(bool loop);
  void SetPlaying(bool playing) { playing_ = playing; }

  bool GetLoop() const { return loop_; }
  const String& GetFileName() const { return fileName_; }
  bool IsPlaying() const { return playing_; }
  HSTREAM GetChannel() const { return source_.Stream(); }

 protected:
  void WriteFields(MemoryStream& stream) override;
  bool ReadFields(MemoryStream& stream) override;
  int AfterLoad() override;
  int32_t GetStreamCount() const override { return 1; }
  HSTREAM GetStream(int32_t) const override { return source_.Stream(); }

 private:
  bool loop_ = false;
  int32_t reserved_ = 0;  // stored and restored, not used
  String fileName_;
  bool playing_ = true;
  SoundSource source_;
};

}  // namespace klx
