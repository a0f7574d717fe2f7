#pragma once
// What a scene node asks of the effects that wrap the drawing of its
// children: whether the effect is on, how many passes it has, setting up
// each pass, its per-frame update and its owner. The scene-node effect
// classes implement it; a scene node holds them as counted objects.

#include "scene/draw_context.h"

namespace klx {

class Object;
class SceneNode;

class SceneNodeEffectInterface {
 public:
  virtual ~SceneNodeEffectInterface() = default;
  virtual bool IsEnabled() const = 0;
  virtual int GetPassCount() const = 0;
  // Prepares pass `pass`; nonzero skips the pass.
  virtual int ApplyPass(int pass, DrawContext* context) = 0;
  virtual void UpdateEffect(double elapsed) = 0;
  virtual void SetEffectOwner(SceneNode* owner) = 0;
};

}  // namespace klx
