#pragma once
// Grass that sways in the wind: a texture effect whose shader technique
// moves each vertex by the wind, weighted by 1 - y of a second coordinate
// set (1 at the roots, which stay put). Without shaders it is drawn as a
// still texture.

#include <cstdint>

#include "render/effects/material_effects.h"

namespace klx {

class GrassEffect : public TextureEffect {
  KLX_DECLARE_CLASS(GrassEffect)

 public:
  explicit GrassEffect(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  // The coordinate set whose y holds 1 - the sway weight; clamped to 0-7.
  int32_t GetSwaySet() const { return swaySet_; }
  void SetSwaySet(int32_t set);

 private:
  int32_t swaySet_ = 1;
};

}  // namespace klx
