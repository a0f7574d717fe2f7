#pragma once
// A window of an animation controller's track: while the track phase lies
// in [start, end] the animation plays, once (mode 0), looped (1) or back and
// forth (2 and above), at `speed` from `offset`.

#include <cstdint>

#include "animation/animation.h"
#include "core/ref_counted.h"

namespace klx {

class MemoryStream;

struct AnimationFrame {
  static constexpr int32_t kOnce = 0;
  static constexpr int32_t kLoop = 1;
  static constexpr int32_t kPingPong = 2;

  Ref<Animation> animation;
  int32_t mode = kLoop;
  double start = 0.0;
  double end = 0.0;
  double speed = 1.0;
  double offset = 0.0;

  // The animation's own time (0 to 1) at track phase `phase`, before the
  // mode is applied. A window with no length gives 0.
  double LocalTime(double phase) const;

  // The animation link, then mode, start, end, speed, offset; kOk or
  // kFailed (logged).
  int Save(MemoryStream& stream) const;
  int Load(MemoryStream& stream);
  // The fewest bytes a stored frame takes.
  static constexpr int32_t kStoredSize = 4 + 4 + 4 * 8;
};

// A local time folded into [0, 1) by the mode, as the first blend stage
// plays it: a result of 1 or more, or one before the start in mode 0,
// becomes 0.
double FirstStageTime(int32_t mode, double u);
// The same for the second stage: mode 0 holds at the ends, ping-pong may
// reach 1.
double SecondStageTime(int32_t mode, double u);

}  // namespace klx
