#include "render/effects/material_effects.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effects/shader_texts.h"
#include "render/renderer.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(ColorEffect, GeometryNodeEffect)
KLX_IMPLEMENT_CLASS(TextureEffect, ColorEffect)

namespace {

bool HasShaders(const Renderer& renderer) {
  return renderer.GetCaps().vertexShaderLevel != kShaderLevelNone &&
         renderer.GetCaps().pixelShaderLevel != kShaderLevelNone;
}

// The four columns of a row-vector matrix, as shader constants: m4x4 and
// dp4 against them give p * M.
void SetMatrixConstants(Renderer& renderer, int32_t start, const Matrix4& m) {
  float columns[16];
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) columns[column * 4 + row] = m.m[row][column];
  }
  renderer.SetVertexShaderConstants(start, columns, 4);
}

GeometryNode* CurrentGeometry(Renderer& renderer) { return DynamicCast<GeometryNode>(renderer.GetCurrentGeometry()); }

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
      // Wind texts when the wind blows; the skinned texts use the plain
      // ones until skinning controllers exist.
      const bool wind = GetEffect()->GetWindEnable();
      const char* vertex = textured_ ? (wind ? shaders::kTextureWindVertex : shaders::kTextureVertex)
                                     : (wind ? shaders::kColorWindVertex : shaders::kColorVertex);
      const char* pixel = textured_ ? shaders::kTexturePixel : shaders::kColorPixel;
      if (vertexShader_) vertexShader_->SetText(vertex, static_cast<int32_t>(std::strlen(vertex)));
      if (pixelShader_) pixelShader_->SetText(pixel, static_cast<int32_t>(std::strlen(pixel)));
    }
    GeometryNodeEffectPass::Invalidate();
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    auto* effect = static_cast<ColorEffect*>(GetEffect());
    const Matrix4 world = ToMatrix(geometry->GetWorldTransform());
    if (!shaders_) {
      // The colour reaches the fixed-function stages as vertex colours.
      const int32_t count = geometry->GetVertexBuffer()->GetCount();
      if (!colors_ || colors_->GetCount() != count) colors_ = new (std::nothrow) ColorBuffer(String(), count);
      if (colors_) {
        std::fill(colors_->Elements(), colors_->Elements() + colors_->GetCount(), effect->GetColor());
        colors_->MarkChanged();
        renderer->SetColors(colors_.Get());
      }
    }
    renderer->SetPositions(geometry->GetVertexBuffer());
    if (textured_) {
      auto* texture = static_cast<TextureEffect*>(effect);
      renderer->SetTexCoords(geometry->GetTexCoordBuffer(texture->GetTexCoordSet()), 0);
      renderer->SetTexture(texture->GetTexture(), 0);
    }
    renderer->SetIndices(geometry->GetIndexBuffer());
    if (!shaders_) {
      renderer->SetProjectionMatrix(camera->GetProjection());
      renderer->SetViewMatrix(camera->GetView());
      renderer->SetWorldMatrix(world);
      return kOk;
    }
    renderer->SetVertexShader(vertexShader_.Get());
    SetMatrixConstants(*renderer, 0, world * camera->GetViewProjection());
    SetMatrixConstants(*renderer, 4, world * camera->GetView());
    const Color& color = effect->GetColor();
    const float c8[4] = {color.r, color.g, color.b, color.a};
    const float c9[4] = {effect->fogDensity, effect->fogExponent, effect->windAmplitude, effect->windSpeed};
    renderer->SetVertexShaderConstants(8, c8, 1);
    renderer->SetVertexShaderConstants(9, c9, 1);
    if (effect->GetWindEnable()) {
      const float c10[4] = {effect->windAmplitude, effect->windSpeed, static_cast<float>(effect->windTime), 1.0f};
      renderer->SetVertexShaderConstants(10, c10, 1);
    }
    renderer->SetPixelShader(pixelShader_.Get());
    return kOk;
  }

 private:
  bool textured_;
  bool shaders_;
  Ref<VertexShader> vertexShader_;
  Ref<PixelShader> pixelShader_;
  Ref<ColorBuffer> colors_;
};

class MaterialTechnique : public Technique {
 public:
  MaterialTechnique(ColorEffect* effect, bool textured, bool shaders)
      : Technique(effect), textured_(textured), shaders_(shaders) {}
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
  if (stream.WriteObject(texture_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить текстуру. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(texCoordSet_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  return kOk;
}

int TextureEffect::Load(MemoryStream& stream) {
  if (ColorEffect::Load(stream) != kOk) return kFailed;
  BaseTexture* texture = nullptr;
  if (stream.ReadObjectOf(texture) != kOk || ClosesLoop(this, texture)) {
    LogError(KLX_TEXT("Невозможно загрузить текстуру. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  texture_ = texture;
  int32_t set = 0;
  if (stream.ReadInt32(set) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  SetTexCoordSet(set);
  return kOk;
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
