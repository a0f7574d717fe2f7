#pragma once
// The valley's skinned characters: flocks of birds that flap and glide on
// their circles over the lake, and a person sitting on a log by the
// campfire, warming their hands, looking round and poking the fire. Each
// has bone nodes with keyframe cycles made here, a skin controller on its
// mesh and a skeleton controller that plays the bones' cycles as one.

#include "core/math_types.h"
#include "core/ref_counted.h"
#include "motion.h"

namespace klx {
class SceneNode;
class TextureEffect;
}  // namespace klx

namespace klx::scenebuild {

class Palette;

// A flock gliding round `circle` in `period` seconds, its birds in a loose
// V; each bird flaps a few beats and glides, out of step with the others.
// `effect` is the flock's own (an effect holds one skin).
Ref<SceneNode> BuildFlock(Palette& palette, TextureEffect* effect, const char* name, uint32_t seed, int birds,
                          const Circle& circle, double period);

// A person on a log at `seat` (on the ground), facing along `facing` (the
// fire), drawn with `effect` (lit by the sun, the person's own).
Ref<SceneNode> BuildFireSitter(Palette& palette, TextureEffect* effect, const Vector3& seat, const Vector3& facing);

}  // namespace klx::scenebuild
