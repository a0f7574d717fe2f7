#pragma once
// Runs a camera's own animations only while the camera is on screen, and
// drives further animation controllers (a door that opens, a bird that
// takes off) from its on/off track: each driven controller plays while the
// track's keyframe says on. When the camera leaves the screen its
// animations stop and are rewound, and the driven controllers snap back to
// their start pose.

#include <vector>

#include "animation/animation_controller.h"

namespace klx {

class CameraActivateAnimationController : public AnimationController {
  KLX_DECLARE_CLASS(CameraActivateAnimationController)

 public:
  explicit CameraActivateAnimationController(const String& name) : AnimationController(name) {}

  // After the animation controller data: the camera's animation, the
  // target's animation, the count and links of the driven controllers.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  void Update(double elapsed) override;

  AnimationController* GetCameraAnimation() const { return cameraAnimation_.Get(); }
  void SetCameraAnimation(AnimationController* controller) { cameraAnimation_ = controller; }
  AnimationController* GetTargetAnimation() const { return targetAnimation_.Get(); }
  void SetTargetAnimation(AnimationController* controller) { targetAnimation_ = controller; }
  void AddDriven(AnimationController* controller) { driven_.push_back(Ref<AnimationController>(controller)); }
  int32_t GetDrivenCount() const { return static_cast<int32_t>(driven_.size()); }
  AnimationController* GetDriven(int32_t index) const;

 private:
  // The on/off value of the track where it stands: the keyframe at the key
  // of the last stage that has keyframes, on when none has.
  bool TrackValue() const;
  // Reads one link that must be an animation controller (or null) and must
  // not hold this one.
  bool LoadControllerLink(MemoryStream& stream, Ref<AnimationController>& out);

  Ref<AnimationController> cameraAnimation_;
  Ref<AnimationController> targetAnimation_;
  std::vector<Ref<AnimationController>> driven_;
};

}  // namespace klx
