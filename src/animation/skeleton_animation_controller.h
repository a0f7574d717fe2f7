#pragma once
// Drives a character's bone controllers (one node animation controller per
// bone) as one: its stage, weight and phase settings are passed on to each,
// and its update runs each of them once. The bone controllers are kept
// inactive otherwise, so the update of their own bone nodes does not run
// them a second time in a frame.

#include <cstdint>
#include <vector>

#include "animation/animation_controller.h"

namespace klx {

class SkeletonAnimationController : public AnimationController {
  KLX_DECLARE_CLASS(SkeletonAnimationController)

 public:
  explicit SkeletonAnimationController(const String& name) : AnimationController(name) {}

  // After the animation controller data: the bone controller count, then
  // each bone controller.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // Its own track, then (when active) each bone controller once.
  void Update(double elapsed) override;
  // Its own reset; the bone controllers lose their stages, not their phase.
  void Reset() override;
  void SetStage(Animation* animation, int32_t index, float weight) override;
  // Each bone controller picks its own animation of that name.
  void SetStageByName(const String& name, int32_t index, float weight) override;
  void SetStageWeight(int32_t index, float weight) override;
  void SetPhase(double phase) override;

  // Appends a bone controller and makes it inactive.
  void AddBoneController(AnimationController* controller);
  int32_t GetBoneControllerCount() const { return static_cast<int32_t>(boneControllers_.size()); }
  AnimationController* GetBoneController(int32_t index) const;

 private:
  std::vector<Ref<AnimationController>> boneControllers_;
};

}  // namespace klx
