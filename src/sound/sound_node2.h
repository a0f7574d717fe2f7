#pragma once
// A sound in the scene that alternates between two files: at random
// intervals (interval ± spread seconds) it plays one of the two from its
// start and stops the other. Silent unless both sounds were found.

#include <cstdint>

#include "core/engine_string.h"
#include "sound/sound_node_base.h"

namespace klx {

class SoundNode2 : public SoundNodeBase {
  KLX_DECLARE_CLASS(SoundNode2)

 public:
  explicit SoundNode2(const String& name) : SoundNodeBase(name) {}

  void Update(double elapsed) override;

  // Makes both streams again from the file names (a missing file leaves its
  // stream out and logs a warning). kOk.
  int LoadSounds();

  void SetFileNames(const String& a, const String& b) {
    fileNameA_ = a;
    fileNameB_ = b;
  }
  void SetTiming(float interval, float spread) {
    interval_ = interval;
    spread_ = spread;
  }
  void Set3D(bool is3D) { is3D_ = is3D; }

  const String& GetFileNameA() const { return fileNameA_; }
  const String& GetFileNameB() const { return fileNameB_; }
  float GetInterval() const { return interval_; }
  float GetSpread() const { return spread_; }
  HSTREAM GetChannelA() const { return sourceA_.Stream(); }
  HSTREAM GetChannelB() const { return sourceB_.Stream(); }
  // The channel triggered last, or 0.
  HSTREAM GetCurrentChannel() const { return current_; }

 protected:
  void WriteFields(MemoryStream& stream) override;
  bool ReadFields(MemoryStream& stream) override;
  int AfterLoad() override;
  int32_t GetStreamCount() const override { return 2; }
  HSTREAM GetStream(int32_t index) const override { return index == 0 ? sourceA_.Stream() : sourceB_.Stream(); }

 private:
  bool LoadOne(const String& fileName, SoundSource& source);

  String fileNameA_;
  String fileNameB_;
  float interval_ = 1.0f;
  float spread_ = 0.0f;
  SoundSource sourceA_;
  SoundSource sourceB_;
  float elapsed_ = 0.0f;
  float next_ = 0.0f;  // 0: the first update triggers
  HSTREAM current_ = 0;
};

}  // namespace klx
