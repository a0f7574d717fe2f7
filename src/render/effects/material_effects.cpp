#include "render/effects/material_effects.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/effects/shader_texts.h"
#include "render/renderer.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(ColorEffect, GeometryNodeEffect)
KLX_IMPLEMENT_CLASS(TextureEffect, ColorEffect)

namespace {

using effects::CurrentGeometry;
using effects::HasShaders;

// A pass of the colour or texture effect; `textured` adds the texture's
// coordinates and stage 0.
class MaterialPass : public GeometryNodeEffectPass {
 public:
  MaterialPass(ColorEffect* effect, bool textured, bool shaders)
      : GeometryNodeEffectPass(String(), effect),
        textured_(textured),
        shaders_(shaders),
        vertexShader_(new (std::nothrow) VertexShader(String())),
        pixelShader_(new (std::nothrow) PixelShader(String())) {}

  void Invalidate() override {
    if (shaders_) {
      // Wind texts when the wind blows, else the skinned text when the
      // effect holds a skin (kept only where vertex shaders reach 2.0),
      // else the plain ones. The colour effect has no skinned text.
      const bool wind = GetEffect()->GetWindEnable();
      skinned_ = textured_ && !wind && effects::ShaderSkin(*GetEffect()) != nullptr && effects::ShaderSkinningAvailable();
      const char* vertex = textured_ ? (wind      ? shaders::kTextureWindVertex
                                        : skinned_ ? shaders::kTextureSkinnedVertex
                                                   : shaders::kTextureVertex)
                                     : (wind ? shaders::kColorWindVertex : shaders::kColorVertex);
      const char* pixel = textured_ ? shaders::kTexturePixel : shaders::kColorPixel;
      effects::SetShaderText(vertexShader_.Get(), vertex);
      effects::SetShaderText(pixelShader_.Get(), pixel);
    }
    GeometryNodeEffectPass::Invalidate();
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    auto* effect = static_cast<ColorEffect*>(GetEffect());
    if (SkinController* skin = skinned_ ? effects::ShaderSkin(*effect) : nullptr) {
      auto* texture = static_cast<TextureEffect*>(effect);
      effects::SetSkinStreamsAndConstants(*renderer, *effect, *skin, *camera, effect->GetColor());
      renderer->SetTexCoords(geometry->GetTexCoordBuffer(texture->GetTexCoordSet()), 0);
      renderer->SetTexture(texture->GetTexture(), 0);
      renderer->SetIndices(geometry->GetIndexBuffer());
      renderer->SetVertexShader(vertexShader_.Get());
      renderer->SetPixelShader(pixelShader_.Get());
      return kOk;
    }
    const Matrix4 world = ToMatrix(geometry->GetWorldTransform());
    if (!shaders_) {
      // The colour reaches the fixed-function stages as vertex colours.
      effects::SetUniformColors(*renderer, colors_, geometry->GetVertexBuffer()->GetCount(), effect->GetColor());
    }
    renderer->SetPositions(geometry->GetVertexBuffer());
    if (textured_) {
      auto* texture = static_cast<TextureEffect*>(effect);
      renderer->SetTexCoords(geometry->GetTexCoordBuffer(texture->GetTexCoordSet()), 0);
      renderer->SetTexture(texture->GetTexture(), 0);
    }
    renderer->SetIndices(geometry->GetIndexBuffer());
    if (!shaders_) {
      effects::SetFixedMatrices(*renderer, *camera, world);
      return kOk;
    }
    renderer->SetVertexShader(vertexShader_.Get());
    effects::SetCommonConstants(*renderer, *effect, world, *camera, effect->GetColor());
    renderer->SetPixelShader(pixelShader_.Get());
    return kOk;
  }

 private:
  bool textured_;
  bool shaders_;
  bool skinned_ = false;
  Ref<VertexShader> vertexShader_;
  Ref<PixelShader> pixelShader_;
  Ref<ColorBuffer> colors_;
};

class MaterialTechnique : public Technique {
 public:
  MaterialTechnique(ColorEffect* effect, bool textured, bool shaders)
      : Technique(effect), textured_(textured), shaders_(shaders) {}
  bool SkinsInShaders() const override { return textured_ && shaders_; }
  bool IsSupported() override {
    Renderer* renderer = GetRenderer();
    if (renderer == nullptr) return false;
    bool supported = true;
    if (shaders_) supported = HasShaders(*renderer);
    else if (textured_) supported = renderer->GetCaps().simultaneousTextures >= 1;
    if (supported && GetPassCount() == 0) {
      AddPass(new MaterialPass(static_cast<ColorEffect*>(effect_), textured_, shaders_));
    }
    return supported;
  }

 private:
  bool textured_;
  bool shaders_;
};

}  // namespace

ColorEffect::ColorEffect(const String& name) : GeometryNodeEffect(name) {
  // Least demanding first: the list is searched from the shader technique.
  AddTechnique(new MaterialTechnique(this, false, false));
  AddTechnique(new MaterialTechnique(this, false, true));
}

int ColorEffect::Save(MemoryStream& stream) {
  if (GeometryNodeEffect::Save(stream) != kOk) return kFailed;
  if (stream.WriteColor(color_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить цвет. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int ColorEffect::Load(MemoryStream& stream) {
  if (GeometryNodeEffect::Load(stream) != kOk) return kFailed;
  if (stream.ReadColor(color_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить цвет. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

TextureEffect::TextureEffect(const String& name) : ColorEffect(name) {
  AddTechnique(new MaterialTechnique(this, true, false));
  AddTechnique(new MaterialTechnique(this, true, true));
}

void TextureEffect::SetTexCoordSet(int32_t set) { texCoordSet_ = std::clamp(set, 0, 7); }

void TextureEffect::Update(double time) {
  ColorEffect::Update(time);
  if (texture_) texture_->Update(time);
}

int TextureEffect::Save(MemoryStream& stream) {
  if (ColorEffect::Save(stream) != kOk) return kFailed;
  return effects::SaveTextureLink(stream, *this, texture_.Get(), &texCoordSet_);
}

int TextureEffect::Load(MemoryStream& stream) {
  if (ColorEffect::Load(stream) != kOk) return kFailed;
  return effects::LoadTextureLink(stream, *this, &texture_, &texCoordSet_);
}

void TextureEffect::VisitLinks(const LinkVisitor& visit) const {
  ColorEffect::VisitLinks(visit);
  visit(texture_.Get());
}

Object* TextureEffect::FindByName(const String& name) {
  if (Object* found = ColorEffect::FindByName(name)) return found;
  return texture_ ? texture_->FindByName(name) : nullptr;
}

void TextureEffect::CollectByType(const RTTI& type, Array<Object*>& found) {
  ColorEffect::CollectByType(type, found);
  if (texture_) texture_->CollectByType(type, found);
}

}  // namespace klx
