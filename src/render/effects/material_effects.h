#pragma once
// The plain materials: ColorEffect draws geometry in one colour,
// TextureEffect modulates a texture by it. Each has a fixed-function and a
// shader technique; the shader one is tried first and needs usable vertex
// and pixel shaders, the texture's fixed-function one a texture stage.
// TextureEffect keeps the colour techniques behind its own as fallbacks.

#include <cstdint>

#include "render/effect.h"
#include "render/shader.h"
#include "render/texture.h"

namespace klx {

class ColorEffect : public GeometryNodeEffect {
  KLX_DECLARE_CLASS(ColorEffect)

 public:
  explicit ColorEffect(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  const Color& GetColor() const { return color_; }
  void SetColor(const Color& color) { color_ = color; }
  bool GetEffectColor(Color* color) const override {
    *color = color_;
    return true;
  }
  void SetEffectColor(const Color& color) override { color_ = color; }

 private:
  Color color_{1, 1, 1, 1};
};

class TextureEffect : public ColorEffect {
  KLX_DECLARE_CLASS(TextureEffect)

 public:
  explicit TextureEffect(const String& name);
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  // The effect's update, then the texture's (its controllers run there).
  void Update(double time) override;

  BaseTexture* GetTexture() const { return texture_.Get(); }
  void SetTexture(BaseTexture* texture) { texture_ = texture; }
  int32_t GetTexCoordSet() const { return texCoordSet_; }
  // Clamped to 0-7.
  void SetTexCoordSet(int32_t set);

 private:
  Ref<BaseTexture> texture_;
  int32_t texCoordSet_ = 0;
};

}  // namespace klx
