#pragma once
// Plays keyframe animations along a track: the track phase runs over [0, 1)
// once per track period; the frames say which animation plays in which
// window of the track; up to two blend stages sample the animations of the
// frames the phase lies in, cross-fading where two windows overlap. What is
// done with the samples is up to the derived controllers.

#include <cstdint>
#include <vector>

#include "animation/animation.h"
#include "animation/animation_frame.h"
#include "animation/blend_stage.h"
#include "core/controller.h"

namespace klx {

class AnimationController : public Controller {
  KLX_DECLARE_CLASS(AnimationController)

 public:
  explicit AnimationController(const String& name) : Controller(name) {}

  // After the controller data: the animations, the frames, the track
  // period. The phase and the stages are not stored.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;

  // Advances the phase, matches the frames, weighs and samples the stages.
  void Update(double elapsed) override;
  // No stages, phase 0.
  void Reset() override;
  // Stage `index` (made as needed) plays `animation` with `weight`.
  virtual void SetStage(Animation* animation, int32_t index, float weight);
  // Stage `index` plays this controller's animation of that name (the last
  // one, when several have it), or none.
  virtual void SetStageByName(const String& name, int32_t index, float weight);
  virtual void SetStageWeight(int32_t index, float weight);
  virtual void SetPhase(double phase) { phase_ = phase; }
  // No stages; the phase stays.
  void ClearStages() { stages_.clear(); }

  void AddAnimation(Animation* animation) { animations_.push_back(Ref<Animation>(animation)); }
  void AddFrame(const AnimationFrame& frame) { frames_.push_back(frame); }
  void SetTrackPeriod(double seconds) { trackPeriod_ = seconds; }

  int32_t GetAnimationCount() const { return static_cast<int32_t>(animations_.size()); }
  Animation* GetAnimation(int32_t index) const;
  int32_t GetFrameCount() const { return static_cast<int32_t>(frames_.size()); }
  const AnimationFrame* GetFrame(int32_t index) const;
  int32_t GetStageCount() const { return static_cast<int32_t>(stages_.size()); }
  const BlendStage* GetStage(int32_t index) const;
  double GetTrackPeriod() const { return trackPeriod_; }
  double GetPhase() const { return phase_; }

 protected:
  std::vector<BlendStage> stages_;

 private:
  // True when holding the animation would close a loop of counted
  // references (the animation runs this controller, at any depth).
  bool ClosesLoop(const Animation* animation) const;
  void AdvancePhase(double elapsed);
  void WeighStages(const AnimationFrame* first, const AnimationFrame* second);

  std::vector<Ref<Animation>> animations_;
  std::vector<AnimationFrame> frames_;
  double trackPeriod_ = 0.0;
  double phase_ = 0.0;
};

// Moves its owner node: the sampled poses of the stages, blended in stage
// order into the node's local transform.
class NodeAnimationController : public AnimationController {
  KLX_DECLARE_CLASS(NodeAnimationController)

 public:
  explicit NodeAnimationController(const String& name) : AnimationController(name) {}
  void Update(double elapsed) override;
};

}  // namespace klx
