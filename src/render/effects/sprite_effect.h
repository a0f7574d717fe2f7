#pragma once
// The effect of particles, flares and foliage: every vertex a textured
// point sprite in world space, blended additively by default (source alpha
// onto the frame), without depth writes while it blends. One
// fixed-function technique; it needs a texture stage.

#include "render/effect.h"
#include "render/texture.h"

namespace klx {

class SpriteEffect : public GeometryNodeEffect {
  KLX_DECLARE_CLASS(SpriteEffect)

 public:
  explicit SpriteEffect(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  // The effect's update, then the texture's.
  void Update(double time) override;

  BaseTexture* GetTexture() const { return texture_.Get(); }
  void SetTexture(BaseTexture* texture) { texture_ = texture; }

 private:
  Ref<BaseTexture> texture_;
};

}  // namespace klx
