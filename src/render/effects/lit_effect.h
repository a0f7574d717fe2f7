#pragma once
// Texture1DLEffect: a texture lit by one directional light with the
// material of the effect (ambient, diffuse, specular with its power,
// emissive). Per vertex in vs 1.1 / ps 1.1, per pixel in vs 2.0 / ps 2.0
// where the machine has them, and through the fixed-function lights
// otherwise; it falls back to the plain texture without two stages and a
// light.

#include "render/effects/material_effects.h"

namespace klx {

class Light;

class Texture1DLEffect : public TextureEffect {
  KLX_DECLARE_CLASS(Texture1DLEffect)

 public:
  explicit Texture1DLEffect(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // The skinned texts need bind-pose normals for every vertex.
  bool CanSkinInShaders(SkinController& skin) override;

  Light* GetLight() const { return light_.Get(); }
  void SetLight(Light* light);

 private:
  Ref<Light> light_;
};

}  // namespace klx
