#include "views.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "animation/animation_controller.h"
#include "animation/camera_culled_controller.h"
#include "animation/screensaver_controller.h"
#include "animation/target_controllers.h"
#include "core/result.h"
#include "motion.h"
#include "render/effects/post_render_effect.h"
#include "scene/camera.h"
#include "scene/scene_node.h"
#include "scene/transform.h"
#include "world.h"

namespace klx::scenebuild {
namespace {

constexpr float kPi = 3.14159265f;
// Keyframes along each camera move.
constexpr int kMoveKeys = 24;

Vector3 OnGround(float x, float z, float lift) { return Vector3{x, GroundHeight(x, z) + lift, z}; }

// At least `clearance` above the ground.
Vector3 AboveGround(const Vector3& p, float clearance) {
  return Vector3{p.x, std::max(p.y, GroundHeight(p.x, p.z) + clearance), p.z};
}

Vector3 Lerp(const Vector3& a, const Vector3& b, float t) { return a + (b - a) * t; }

// Slow at both ends.
float Ease(float t) { return t * t * (3.0f - 2.0f * t); }

// A move over `period` seconds: where the camera is and what it looks at
// for s from 0 to 1 (the last keyframe at the track's end).
Loop Move(const std::function<Vector3(float)>& at, const std::function<Vector3(float)>& look, double period) {
  Loop loop;
  loop.period = period;
  for (int i = 0; i <= kMoveKeys; ++i) {
    const float s = static_cast<float>(i) / kMoveKeys;
    const Vector3 position = at(s);
    loop.poses.push_back(TimedPose{position, Heading(look(s) - position), period * s});
  }
  return loop;
}

// Where the car is `seconds` into its drive, and which way it faces.
void CarAt(const Loop& drive, double seconds, Vector3* position, Vector3* forward) {
  size_t i = 0;
  while (i + 1 < drive.poses.size() && drive.poses[i + 1].seconds <= seconds) ++i;
  const TimedPose& a = drive.poses[i];
  const TimedPose& b = drive.poses[(i + 1) % drive.poses.size()];
  const double span = (i + 1 < drive.poses.size() ? b.seconds : drive.period) - a.seconds;
  const float t = span > 0.0 ? static_cast<float>((seconds - a.seconds) / span) : 0.0f;
  *position = Lerp(a.position, b.position, t);
  *forward = Normalize(Lerp(a.rotation.Rotate({0, 0, 1}), b.rotation.Rotate({0, 0, 1}), t));
}

class ViewBuilder {
 public:
  ViewBuilder(SceneNode& root, ScreensaverController& saver) : root_(root), saver_(saver) {}

  // A camera on the root, in the sets with `seconds` (replaced by its
  // track's period when it moves). Its look-at controller goes on first, so
  // the move runs before the aim in each frame.
  Camera* Add(const char* name, double seconds, Node* target, const Loop* move) {
    Ref<Camera> camera(new Camera(String(name)));
    camera->SetFieldOfView(0.95f);
    camera->SetNearPlane(0.3f);
    camera->SetFarPlane(3000.0f);
    if (target != nullptr) {
      Ref<TargetCameraController> aim(new TargetCameraController(String((std::string(name) + "Aim").c_str())));
      aim->SetTarget(target);
      ok_ = ok_ && camera->AttachController(aim.Get()) == kOk;
    }
    if (move != nullptr) {
      SetTranslation(camera->LocalTransform(), move->poses.front().position);
      SetRotation(camera->LocalTransform(), move->poses.front().rotation);
      ok_ = ok_ && camera->AttachController(MakeLoopController((std::string(name) + "Move").c_str(), *move).Get()) == kOk;
    }
    ok_ = ok_ && root_.AttachChild(camera.Get()) == kOk;
    CameraSet set;
    set.camera = camera;
    set.duration = seconds;
    set.FindAnimations();
    saver_.AddSet(set);
    return camera.Get();
  }

  // A camera that stays at `at` and turns to follow `target`.
  Camera* AddStill(const char* name, double seconds, const Vector3& at, Node* target) {
    Camera* camera = Add(name, seconds, target, nullptr);
    SetTranslation(camera->LocalTransform(), at);
    SetRotation(camera->LocalTransform(),
                Heading(target->GetLocalTransform().translation - at));
    return camera;
  }

  // A target node that stays where it is put.
  Node* Mark(const char* name, const Vector3& at) {
    Ref<SceneNode> mark(new SceneNode(String(name)));
    SetTranslation(mark->LocalTransform(), at);
    ok_ = ok_ && root_.AttachChild(mark.Get()) == kOk;
    return mark.Get();
  }

  bool Attached(Controller* controller, Camera* camera) {
    ok_ = ok_ && camera->AttachController(controller) == kOk;
    return ok_;
  }
  bool Ok() const { return ok_; }

 private:
  SceneNode& root_;
  ScreensaverController& saver_;
  bool ok_ = true;
};

}  // namespace

bool AddViews(SceneNode& root, const Subjects& subjects) {
  Ref<ScreensaverController> saver(new ScreensaverController(String("Screensaver")));
  ViewBuilder views(root, *saver);
  const Vector3 lakeCentre{25.0f, 2.0f, 105.0f};
  Node* lake = views.Mark("LakeView", lakeCentre);
  const Vector3 fireAt = subjects.campfire->GetLocalTransform().translation;

  // Far views over the valley (the car's engine is not heard under them).
  const Loop overview = Move([](float s) { return Lerp({0, 90, -190}, {12, 68, -150}, Ease(s)); },
                             [&](float) { return lakeCentre; }, 16.0);
  views.Add("Camera03", 16.0, lake, &overview);
  const Loop eastSlope = Move(
      [](float s) { return AboveGround(Lerp(OnGround(150, 20, 7), OnGround(146, 58, 7), Ease(s)), 5.0f); },
      [&](float) { return lakeCentre; }, 14.0);
  views.Add("Camera04", 14.0, lake, &eastSlope);
  const Loop northEnd = Move([](float s) { return Lerp(OnGround(40, 192, 22), OnGround(26, 170, 12), Ease(s)); },
                             [](float s) { return Lerp({-20, 0, 0}, {0, 0, 40}, Ease(s)); }, 15.0);
  views.Add("Camera06", 15.0, nullptr, &northEnd);
  const Loop westArc = Move(
      [&](float s) {
        const float angle = (200.0f + 35.0f * Ease(s)) * kPi / 180.0f;
        const Vector3 p{lakeCentre.x + 175.0f * std::sin(angle), 0, lakeCentre.z + 175.0f * std::cos(angle)};
        return OnGround(p.x, p.z, 26.0f);
      },
      [&](float) { return lakeCentre; }, 18.0);
  views.Add("Camera11", 18.0, lake, &westArc);
  const Loop high = Move(
      [](float s) {
        const float angle = (195.0f + 40.0f * s) * kPi / 180.0f;
        return Vector3{20.0f + 165.0f * std::sin(angle), 160.0f, 90.0f + 165.0f * std::cos(angle)};
      },
      [](float) { return Vector3{20, 0, 90}; }, 20.0);
  views.Add("Camera17", 20.0, nullptr, &high);
  const Loop shore = Move([](float s) { return Lerp(OnGround(112, 72, 2.5f), OnGround(108, 112, 2.5f), Ease(s)); },
                          [](float s) { return Lerp({-40, 6, 140}, {-40, 6, 80}, Ease(s)); }, 16.0);
  views.Add("Camera18", 16.0, nullptr, &shore);

  // The car: a camera riding behind it, one by the road it passes, and one
  // that rises over it as it drives away.
  const Loop& drive = *subjects.carLoop;
  const Loop chase = Move(
      [&](float s) {
        Vector3 car, ahead;
        CarAt(drive, 14.0 * s, &car, &ahead);
        return AboveGround(car - ahead * 9.0f + Vector3{0, 2.8f, 0}, 2.0f);
      },
      [&](float s) {
        Vector3 car, ahead;
        CarAt(drive, 14.0 * s, &car, &ahead);
        return car;
      },
      14.0);
  views.Add("Camera01", 14.0, subjects.car, &chase);
  const float byRoadZ = 60.0f;
  views.AddStill("Camera05", 12.0, OnGround(RoadCentreX(byRoadZ) + 9.0f, byRoadZ, 1.6f), subjects.car);
  const Loop crane = Move(
      [&](float s) {
        Vector3 car, ahead;
        CarAt(drive, 16.0 * s, &car, &ahead);
        const Vector3 side{ahead.z, 0.0f, -ahead.x};
        const float e = Ease(s);
        return AboveGround(car + ahead * (-12.0f * (1.0f - e)) + side * (10.0f * e) + Vector3{0, 3.0f + 24.0f * e, 0},
                           3.0f);
      },
      [&](float s) {
        Vector3 car, ahead;
        CarAt(drive, 16.0 * s, &car, &ahead);
        return car;
      },
      16.0);
  views.Add("Camera10", 16.0, subjects.car, &crane);

  // The campfire: a slow walk round it, and a close view from behind a tree
  // that is hidden while that camera is on.
  const Loop round = Move(
      [&](float s) {
        const float angle = (100.0f + 120.0f * s) * kPi / 180.0f;
        const Vector3 p = fireAt + Vector3{5.5f * std::sin(angle), 0, -5.5f * std::cos(angle)};
        return OnGround(p.x, p.z, 1.7f);
      },
      [&](float) { return fireAt; }, 18.0);
  views.Add("Camera02", 18.0, subjects.campfire, &round);
  const Loop closeIn = Move(
      [&](float s) {
        const Vector3 p = fireAt + kFireCloseView * (10.0f - 2.5f * Ease(s));
        return OnGround(p.x, p.z, 1.4f);
      },
      [&](float) { return fireAt; }, 12.0);
  Camera* close = views.Add("Camera09", 12.0, subjects.campfire, &closeIn);
  Ref<CameraCulledController> culled(new CameraCulledController(String("Camera09Culled")));
  culled->AddNode(subjects.fireSideTree);
  views.Attached(culled.Get(), close);

  // The lake: a pan along the near shore, a walk down the west valley,
  // and a view of a flock as it sweeps past.
  const Loop pan = Move([](float) { return OnGround(-28, 52, 2.2f); },
                        [](float s) { return Lerp({45, 6, 170}, {120, 10, 95}, Ease(s)); }, 15.0);
  views.Add("Camera07", 15.0, nullptr, &pan);
  const Loop westValley = Move([](float s) { return Lerp(OnGround(-120, -30, 2.5f), OnGround(-96, 2, 2.5f), Ease(s)); },
                               [&](float) { return lakeCentre; }, 14.0);
  views.Add("Camera08", 14.0, lake, &westValley);
  views.AddStill("Camera12", 15.0, OnGround(18, 6, 1.8f), subjects.flock);

  // Three views play as film, letterboxed: the pan along the shore, the
  // crane over the car and the flock against the evening sky.
  Ref<PostRenderEffect> letterbox(new PostRenderEffect(String("Letterbox")));
  Ref<CameraFilmController> filmViews(new CameraFilmController(String("FilmViews")));
  for (const char* name : {"Camera07", "Camera10", "Camera12"}) {
    filmViews->AddCamera(DynamicCast<Camera>(root.FindByName(String(name))));
  }
  if (letterbox->AttachController(filmViews.Get()) != kOk) return false;
  root.AddEffect(letterbox.Get());

  if (!views.Ok() || root.AttachController(saver.Get()) != kOk) {
    std::fprintf(stderr, "scenebuild: a view's controller cannot be attached\n");
    return false;
  }
  return true;
}

}  // namespace klx::scenebuild
