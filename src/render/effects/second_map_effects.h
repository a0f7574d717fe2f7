#pragma once
// Texture effects with a second map: LightmapTextureEffect multiplies the
// texture by a light map on its own coordinate set (shader and
// fixed-function techniques of its own), NormalmapTextureEffect carries a
// normal map for the water effect and draws as a plain texture itself.
// Both update the second map as well, so its controllers run.

#include <cstdint>

#include "render/effects/material_effects.h"

namespace klx {

// The shared part: the second map and its coordinate set, stored after the
// texture effect's data. Not a stored class of its own: the two effects are
// stored as texture effects with these fields.
class SecondMapTextureEffect : public TextureEffect {
 public:
  explicit SecondMapTextureEffect(const String& name) : TextureEffect(name) {}
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  void Update(double time) override;

  BaseTexture* GetSecondMap() const { return secondMap_.Get(); }
  void SetSecondMap(BaseTexture* map) { secondMap_ = map; }
  int32_t GetSecondTexCoordSet() const { return secondSet_; }
  // Clamped to 0-7.
  void SetSecondTexCoordSet(int32_t set);

 private:
  Ref<BaseTexture> secondMap_;
  int32_t secondSet_ = 1;
};

class LightmapTextureEffect : public SecondMapTextureEffect {
  KLX_DECLARE_CLASS(LightmapTextureEffect)

 public:
  explicit LightmapTextureEffect(const String& name);
  BaseTexture* GetLightmap() const { return GetSecondMap(); }
  void SetLightmap(BaseTexture* map) { SetSecondMap(map); }
};

class NormalmapTextureEffect : public SecondMapTextureEffect {
  KLX_DECLARE_CLASS(NormalmapTextureEffect)

 public:
  explicit NormalmapTextureEffect(const String& name) : SecondMapTextureEffect(name) {}
  BaseTexture* GetNormalmap() const { return GetSecondMap(); }
  void SetNormalmap(BaseTexture* map) { SetSecondMap(map); }
};

}  // namespace klx
