#include "motion.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "animation/animation.h"
#include "animation/animation_controller.h"
#include "animation/sound_node_animation.h"
#include "world.h"

namespace klx::scenebuild {
namespace {

constexpr float kPi = 3.14159265f;

// The car's reference point is between its wheels at road level; the
// road's surface lies this far above the ground at its centre line.
constexpr float kRoadSurface = 0.12f;
// Distance along the straights between two poses.
constexpr float kCarStep = 3.0f;
constexpr int kTurnPoses = 12;
// The car slows over this distance before a turn and gathers speed over
// it after one.
constexpr float kCarBraking = 30.0f;

Vector3 RoadAhead(float z) {
  return Normalize(Vector3{RoadCentreX(z + 0.5f) - RoadCentreX(z - 0.5f), 0.0f, 1.0f});
}

Vector3 RoadRight(float z) {
  const Vector3 ahead = RoadAhead(z);
  return Vector3{ahead.z, 0.0f, -ahead.x};
}

// A point on the road at the surface's height: `across` metres right of
// the centre line (seen heading +z) and `along` metres ahead of z.
Vector3 OnRoad(float z, float across, float along) {
  const Vector3 centre{RoadCentreX(z), 0.0f, z};
  Vector3 p = centre + RoadRight(z) * across + RoadAhead(z) * along;
  p.y = GroundHeight(RoadCentreX(p.z), p.z) + kRoadSurface;
  return p;
}

// One way along the straight in [fromZ, toZ) (either direction) in the
// lane on the right of the direction of travel.
void AddStraight(std::vector<Vector3>& points, float fromZ, float toZ) {
  const float direction = toZ > fromZ ? 1.0f : -1.0f;
  const int steps = static_cast<int>(std::ceil(std::fabs(toZ - fromZ) / kCarStep));
  for (int i = 0; i < steps; ++i) {
    const float z = fromZ + direction * std::fabs(toZ - fromZ) * static_cast<float>(i) / steps;
    points.push_back(OnRoad(z, direction * kCarLane, 0.0f));
  }
}

// Half a circle from one lane to the other round the end of the road at
// `z`; `direction` is +1 at the far end and -1 at the near one.
void AddTurn(std::vector<Vector3>& points, float z, float direction) {
  for (int i = 0; i < kTurnPoses; ++i) {
    const float angle = kPi * static_cast<float>(i) / kTurnPoses;
    points.push_back(OnRoad(z, direction * kCarLane * std::cos(angle), direction * kCarLane * std::sin(angle)));
  }
}

// Timed poses along a closed path of points, each facing the next, at the
// speed `speedAt` gives each point.
template <typename Speed>
Loop TimeClosedPath(const std::vector<Vector3>& points, Speed speedAt) {
  Loop loop;
  const size_t count = points.size();
  double seconds = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const Vector3& next = points[(i + 1) % count];
    const Vector3& previous = points[(i + count - 1) % count];
    loop.poses.push_back(TimedPose{points[i], Heading(next - previous), seconds});
    const Vector3 step = next - points[i];
    const float average = 0.5f * (speedAt(i) + speedAt((i + 1) % count));
    seconds += std::sqrt(step.Dot(step)) / average;
  }
  loop.period = seconds;
  return loop;
}

// The controller plays `animation` looped over its whole track.
void PlayLooped(AnimationController& controller, Animation* animation) {
  controller.AddAnimation(animation);
  AnimationFrame frame;
  frame.animation = animation;
  frame.mode = AnimationFrame::kLoop;
  frame.start = 0.0;
  frame.end = 1.0;
  controller.AddFrame(frame);
}

}  // namespace

Quaternion Heading(const Vector3& forward, const Vector3& lean) {
  const Vector3 ahead = Normalize(forward);
  const Vector3 up = Normalize(Vector3{0, 1, 0} + lean);
  const Vector3 right = Normalize(up.Cross(ahead));
  return Quaternion::FromRows(right, ahead.Cross(right), ahead);
}

Loop CarLoop(float startZ) {
  std::vector<Vector3> points;
  AddStraight(points, startZ, kCarTurnZ);
  AddTurn(points, kCarTurnZ, 1.0f);
  AddStraight(points, kCarTurnZ, -kCarTurnZ);
  AddTurn(points, -kCarTurnZ, -1.0f);
  AddStraight(points, -kCarTurnZ, startZ);
  // Full speed on the straights, easing down to turning speed near the
  // ends (a point's distance from the nearer end, along the road).
  std::vector<float> speeds;
  for (const Vector3& p : points) {
    const float toEnd = kCarTurnZ - std::fabs(p.z);
    const float t = std::clamp(toEnd / kCarBraking, 0.0f, 1.0f);
    speeds.push_back(kCarTurning + (kCarCruise - kCarTurning) * std::sqrt(t));
  }
  return TimeClosedPath(points, [&speeds](size_t i) { return speeds[i]; });
}

Loop FlockLoop(const Circle& circle, double period, int keyframes) {
  Loop loop;
  loop.period = period;
  // Seen from above (+z up the page, +x to the right), the flock passes
  // its southern point heading east when it turns anticlockwise.
  const float turn = circle.clockwise ? -1.0f : 1.0f;
  const float middle = 0.5f * (circle.low + circle.high), rise = 0.5f * (circle.high - circle.low);
  for (int i = 0; i < keyframes; ++i) {
    // Angle 0 is the near (south) side, the lowest point of the glide.
    const float angle = 2.0f * kPi * static_cast<float>(i) / keyframes;
    const Vector3 position{circle.centreX + turn * circle.radius * std::sin(angle),
                           middle - rise * std::cos(angle), circle.centreZ - circle.radius * std::cos(angle)};
    const float rate = 2.0f * kPi / static_cast<float>(period);
    const Vector3 velocity{turn * circle.radius * std::cos(angle) * rate, rise * std::sin(angle) * rate,
                           circle.radius * std::sin(angle) * rate};
    // Banked into the turn: the lean towards the centre grows with the
    // speed round it.
    const Vector3 inward = Normalize(Vector3{circle.centreX - position.x, 0.0f, circle.centreZ - position.z});
    const float speed = std::sqrt(velocity.Dot(velocity));
    const float lean = std::min(speed * speed / (9.81f * circle.radius), 0.7f);
    loop.poses.push_back(TimedPose{position, Heading(velocity, inward * lean), period * i / keyframes});
  }
  return loop;
}

Ref<NodeAnimationController> MakeLoopController(const char* name, const Loop& loop) {
  Ref<NodeAnimation> animation(new NodeAnimation(String(name)));
  for (const TimedPose& pose : loop.poses) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = pose.seconds / loop.period;
    keyframe->translation = pose.position;
    keyframe->rotation = pose.rotation;
    animation->AddKeyframe(std::move(keyframe));
  }
  Ref<NodeAnimationController> controller(new NodeAnimationController(String(name)));
  PlayLooped(*controller, animation.Get());
  controller->SetTrackPeriod(loop.period);
  return controller;
}

Ref<SoundNodeAnimationController> MakeSoundWindow(const char* name, double period, double onFrom, double onTo) {
  Ref<SoundNodeAnimation> animation(new SoundNodeAnimation(String(name)));
  auto add = [&animation](double time, bool value) {
    auto keyframe = std::make_unique<BoolKeyframe>();
    keyframe->time = time;
    keyframe->value = value;
    animation->AddKeyframe(std::move(keyframe));
  };
  if (onFrom < onTo) {
    if (onFrom > 0.0) add(0.0, false);
    add(onFrom, true);
    add(onTo, false);
  } else {
    if (onTo > 0.0) add(0.0, true);
    add(onTo, false);
    add(onFrom, true);
  }
  Ref<SoundNodeAnimationController> controller(new SoundNodeAnimationController(String(name)));
  PlayLooped(*controller, animation.Get());
  controller->SetTrackPeriod(period);
  return controller;
}

}  // namespace klx::scenebuild
