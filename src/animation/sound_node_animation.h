#pragma once
// Switching a sound on and off along a track: a SoundNodeAnimation holds
// on/off keyframes, and a SoundNodeAnimationController plays them on the
// SoundNode that owns it.

#include "animation/animation.h"
#include "animation/animation_controller.h"

namespace klx {

class SoundNodeAnimation : public Animation {
  KLX_DECLARE_CLASS(SoundNodeAnimation)

 public:
  explicit SoundNodeAnimation(const String& name) : Animation(name) {}

 protected:
  std::unique_ptr<Keyframe> CreateKeyframe() const override;
  int32_t GetStoredKeyframeSize() const override { return 8 + 1; }
};

class SoundNodeAnimationController : public AnimationController {
  KLX_DECLARE_CLASS(SoundNodeAnimationController)

 public:
  explicit SoundNodeAnimationController(const String& name) : AnimationController(name) {}
  // The track's update, then the owner sound on or off by the keyframe of
  // the last stage that has one (on when none has).
  void Update(double elapsed) override;
};

}  // namespace klx
