#include "animation/sound_node_animation.h"

#include <new>

#include "sound/sound_manager.h"
#include "sound/sound_node.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SoundNodeAnimation, Animation)
KLX_IMPLEMENT_CLASS(SoundNodeAnimationController, AnimationController)

std::unique_ptr<Keyframe> SoundNodeAnimation::CreateKeyframe() const {
  return std::unique_ptr<Keyframe>(new (std::nothrow) BoolKeyframe());
}

void SoundNodeAnimationController::Update(double elapsed) {
  AnimationController::Update(elapsed);
  auto* node = DynamicCast<SoundNode>(GetOwner());
  if (!IsActive() || node == nullptr) return;
  bool on = true;
  for (const BlendStage& stage : stages_) {
    if (!stage.animation || stage.animation->GetKeyframeCount() == 0) continue;
    // Only on/off keyframes switch; a stage of another kind is passed over.
    if (const auto* keyframe = dynamic_cast<const BoolKeyframe*>(stage.animation->GetKeyframe(stage.key))) {
      on = keyframe->value;
    }
  }
  const HSTREAM stream = node->GetChannel();
  const AudioFunctions* audio = SoundManager::Audio();
  if (stream == 0 || audio == nullptr) return;
  const bool playing = audio->ChannelIsActive(stream) == BASS_ACTIVE_PLAYING;
  if (on) {
    if (!playing) audio->ChannelPlay(stream, 1);  // from the start
    node->SetPlaying(true);
    audio->ChannelPlay(stream, 0);
  } else {
    if (playing) audio->ChannelStop(stream);
    node->SetPlaying(false);
    audio->ChannelStop(stream);
  }
}

}  // namespace klx
