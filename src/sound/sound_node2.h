#pragma once
// A sound in the scene that alternates between two files: at random
// intervals (interval ± spread seconds) it plays one of the two from its
// start and stops the other. Silent unless both sounds were found.

#include <cfloat>
#include <cstdint>

#include "core/engine_string.h"
#include "sound/sound_source.h"
#include "scene/node.h"

namespace klx {

class SoundNode2 : public Node {
  KLX_DECLARE_CLASS(SoundNode2)

 public:
  explicit SoundNode2(const String& name) : Node(name) {}

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void Update(double elapsed) override;
  void UpdateWorldBound() override;

  // Makes both streams again from the file names (a missing file leaves its
  // stream out and logs a warning). kOk.
  int LoadSounds();
  void SetVolume(int32_t volume);
  void SetMinDistance(float distance);

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
  float GetMinDistance() const { return minDistance_; }
  bool Is3D() const { return is3D_; }
  int32_t GetVolume() const { return volume_; }
  float GetInterval() const { return interval_; }
  float GetSpread() const { return spread_; }
  HSTREAM GetChannelA() const { return sourceA_.Stream(); }
  HSTREAM GetChannelB() const { return sourceB_.Stream(); }
  // The channel triggered last, or 0.
  HSTREAM GetCurrentChannel() const { return current_; }

 private:
  bool LoadOne(const String& fileName, SoundSource& source);

  String fileNameA_;
  String fileNameB_;
  float minDistance_ = FLT_MAX;
  bool is3D_ = false;
  int32_t volume_ = 100;
  float interval_ = 1.0f;
  float spread_ = 0.0f;
  SoundSource sourceA_;
  SoundSource sourceB_;
  float elapsed_ = 0.0f;
  float next_ = 0.0f;  // 0: the first update triggers
  HSTREAM current_ = 0;
};

}  // namespace klx
