#pragma once
// Keyframes: a time on the animation's normalised axis (0 to 1) and, for
// the derived kinds, the value at that time. Plain records owned by their
// animation, stored as part of it.

#include "core/math_types.h"

namespace klx {

class MemoryStream;

class Keyframe {
 public:
  virtual ~Keyframe() = default;
  // Each writes or reads its time, then its own fields; kOk or kFailed
  // (logged).
  virtual int Save(MemoryStream& stream) const;
  virtual int Load(MemoryStream& stream);

  double time = 0.0;
};

// A node's pose: translation, rotation and scale.
class NodeKeyframe : public Keyframe {
 public:
  int Save(MemoryStream& stream) const override;
  int Load(MemoryStream& stream) override;

  Vector3 translation{0.0f, 0.0f, 0.0f};
  Quaternion rotation{0.0f, 0.0f, 0.0f, 1.0f};
  Vector3 scale{1.0f, 1.0f, 1.0f};
};

// On or off from this time on.
class BoolKeyframe : public Keyframe {
 public:
  int Save(MemoryStream& stream) const override;
  int Load(MemoryStream& stream) override;

  bool value = true;
};

}  // namespace klx
