#include "render/effects/second_map_effects.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/effects/shader_texts.h"
#include "render/renderer.h"
#include "render/shader.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(LightmapTextureEffect, TextureEffect)
KLX_IMPLEMENT_CLASS(NormalmapTextureEffect, TextureEffect)

// ---------------------------------------------------------------------------
// The second map

void SecondMapTextureEffect::SetSecondTexCoordSet(int32_t set) { secondSet_ = std::clamp(set, 0, 7); }

void SecondMapTextureEffect::Update(double time) {
  TextureEffect::Update(time);
  if (secondMap_) secondMap_->Update(time);
}

int SecondMapTextureEffect::Save(MemoryStream& stream) {
  if (TextureEffect::Save(stream) != kOk) return kFailed;
  return effects::SaveTextureLink(stream, *this, secondMap_.Get(), &secondSet_);
}

int SecondMapTextureEffect::Load(MemoryStream& stream) {
  if (TextureEffect::Load(stream) != kOk) return kFailed;
  return effects::LoadTextureLink(stream, *this, &secondMap_, &secondSet_);
}

void SecondMapTextureEffect::VisitLinks(const LinkVisitor& visit) const {
  TextureEffect::VisitLinks(visit);
  visit(secondMap_.Get());
}

Object* SecondMapTextureEffect::FindByName(const String& name) {
  if (Object* found = TextureEffect::FindByName(name)) return found;
  return secondMap_ ? secondMap_->FindByName(name) : nullptr;
}

void SecondMapTextureEffect::CollectByType(const RTTI& type, Array<Object*>& found) {
  TextureEffect::CollectByType(type, found);
  if (secondMap_) secondMap_->CollectByType(type, found);
}

// ---------------------------------------------------------------------------
// The light map's techniques

namespace {

// Texture times light map times colour: stage 0 the texture on its set,
// stage 1 the light map on its set.
class LightmapPass : public GeometryNodeEffectPass {
 public:
  LightmapPass(LightmapTextureEffect* effect, bool shaders)
      : GeometryNodeEffectPass(String(), effect),
        shaders_(shaders),
        vertexShader_(new (std::nothrow) VertexShader(String())),
        pixelShader_(new (std::nothrow) PixelShader(String())) {}

  void Invalidate() override {
    if (shaders_) {
      const char* vertex = GetEffect()->GetWindEnable() ? shaders::kLightmapWindVertex : shaders::kLightmapVertex;
      effects::SetShaderText(vertexShader_.Get(), vertex);
      effects::SetShaderText(pixelShader_.Get(), shaders::kLightmapPixel);
    }
    GeometryNodeEffectPass::Invalidate();
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? effects::CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    auto* effect = static_cast<LightmapTextureEffect*>(GetEffect());
    const Matrix4 world = ToMatrix(geometry->GetWorldTransform());
    if (!shaders_) {
      effects::SetUniformColors(*renderer, colors_, geometry->GetVertexBuffer()->GetCount(), effect->GetColor());
    }
    renderer->SetPositions(geometry->GetVertexBuffer());
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(effect->GetTexCoordSet()), 0);
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(effect->GetSecondTexCoordSet()), 1);
    renderer->SetTexture(effect->GetTexture(), 0);
    renderer->SetTexture(effect->GetLightmap(), 1);
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
  bool shaders_;
  Ref<VertexShader> vertexShader_;
  Ref<PixelShader> pixelShader_;
  Ref<ColorBuffer> colors_;
};

class LightmapTechnique : public Technique {
 public:
  LightmapTechnique(LightmapTextureEffect* effect, bool shaders) : Technique(effect), shaders_(shaders) {}
  bool IsSupported() override {
    Renderer* renderer = GetRenderer();
    if (renderer == nullptr) return false;
    bool supported = renderer->GetCaps().simultaneousTextures >= 2;
    if (shaders_) supported = supported && effects::HasShaders(*renderer);
    if (supported && GetPassCount() == 0) {
      AddPass(new LightmapPass(static_cast<LightmapTextureEffect*>(effect_), shaders_));
    }
    return supported;
  }

 private:
  bool shaders_;
};

}  // namespace

LightmapTextureEffect::LightmapTextureEffect(const String& name) : SecondMapTextureEffect(name) {
  AddTechnique(new LightmapTechnique(this, false));
  AddTechnique(new LightmapTechnique(this, true));
}

}  // namespace klx
