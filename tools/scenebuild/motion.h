#pragma once
// What moves in the valley: the car's loop along the road and the flocks'
// circles over the lake, as keyframe tracks the scene plays.

#include <vector>

#include "core/math_types.h"
#include "core/ref_counted.h"

namespace klx {
class NodeAnimationController;
class SoundNodeAnimationController;
}  // namespace klx

namespace klx::scenebuild {

// A pose a node passes through and the second it gets there, counted from
// the start of its loop.
struct TimedPose {
  Vector3 position;
  Quaternion rotation;
  double seconds = 0.0;
};

// A closed loop: the poses in order, and the seconds from the first pose
// round to the first again.
struct Loop {
  std::vector<TimedPose> poses;
  double period = 0.0;
};

// The rotation that points local +z along `forward` with local +y as near
// world up as it goes, then rolled about `forward` towards `lean`.
Quaternion Heading(const Vector3& forward, const Vector3& lean = Vector3{0, 0, 0});

// Top speed on the straights, and the speed the car turns at.
inline constexpr float kCarCruise = 14.0f;  // metres per second, about 50 km/h
inline constexpr float kCarTurning = 4.0f;
// How far right of the centre line the car keeps.
inline constexpr float kCarLane = 1.75f;
// Where the car turns round at each end of the road.
inline constexpr float kCarTurnZ = 196.0f;

// The car up the road in the right-hand lane from `startZ`, round at the
// far end, all the way down, round at the near end and back to `startZ`;
// slowing before each turn and speeding up after. Wheels on the road.
Loop CarLoop(float startZ);

// A flock circling over (centreX, centreZ) at `radius`, gliding down to
// `low` on the near (south) side and up to `high` on the far side, banked
// into the turn; `clockwise` seen from above.
struct Circle {
  float centreX, centreZ, radius, low, high;
  bool clockwise;
};
Loop FlockLoop(const Circle& circle, double period, int keyframes);

// A node animation controller that plays the loop over its period.
Ref<NodeAnimationController> MakeLoopController(const char* name, const Loop& loop);

// A sound switched on while the phase of a track of `period` seconds lies
// in [onFrom, onTo) (the window may wrap past 1) and off otherwise.
Ref<SoundNodeAnimationController> MakeSoundWindow(const char* name, double period, double onFrom, double onTo);

}  // namespace klx::scenebuild
