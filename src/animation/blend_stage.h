#pragma once
// A blending slot of an animation controller: the animation it samples, its
// weight, and where the last sample fell (the keyframe at or before the
// time, the next one, and the fraction between them).

#include <cstdint>

#include "animation/animation.h"
#include "core/ref_counted.h"

namespace klx {

class MemoryStream;

// The keyframe at or before time u by bisection; the last keyframe when u
// lies before the first (the wrap from the last back to the first). The
// animation must have keyframes.
int32_t FindKeyframe(const Animation& animation, double u);

struct BlendStage {
  Ref<Animation> animation;
  float weight = 1.0f;
  int32_t key = 0;
  int32_t nextKey = 0;
  double fraction = 0.0;

  // Samples the animation at u (on its 0-1 axis); nothing without an
  // animation or keyframes.
  void Sample(double u);

  // The animation link, then the weight; kOk or kFailed (logged).
  int Save(MemoryStream& stream) const;
  int Load(MemoryStream& stream);
};

}  // namespace klx
