#pragma once
// What the two sound node classes share: the volume, the minimum distance
// and the 3-D flag applied to each of their streams, the world bound (a
// sphere of radius minDistance around the node), finding a sound file, and
// the framing of their stored fields with its log lines.

#include <cfloat>
#include <cstdint>

#include "scene/node.h"
#include "sound/sound_source.h"

namespace klx {

class SoundNodeBase : public Node {
 public:
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void UpdateWorldBound() override;

  void SetVolume(int32_t volume);
  void SetMinDistance(float distance);
  int32_t GetVolume() const { return volume_; }
  float GetMinDistance() const { return minDistance_; }
  bool Is3D() const { return is3D_; }

 protected:
  explicit SoundNodeBase(const String& name) : Node(name) {}

  // The node's own fields, after the Node part; false when one cannot be
  // read. AfterLoad then makes the streams (kOk, or a failure it logged).
  virtual void WriteFields(MemoryStream& stream) = 0;
  virtual bool ReadFields(MemoryStream& stream) = 0;
  virtual int AfterLoad() = 0;
  // The streams the settings apply to (0 for a missing one).
  virtual int32_t GetStreamCount() const = 0;
  virtual HSTREAM GetStream(int32_t index) const = 0;

  // The named file, or null with a warning naming this node.
  VirtualFile* FindSoundFile(const String& fileName);

  int32_t volume_ = 100;
  float minDistance_ = FLT_MAX;
  bool is3D_ = false;
};

}  // namespace klx
