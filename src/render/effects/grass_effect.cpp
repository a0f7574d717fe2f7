#include "render/effects/grass_effect.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/effects/shader_texts.h"
#include "render/renderer.h"
#include "render/shader.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(GrassEffect, TextureEffect)

namespace {

class GrassPass : public GeometryNodeEffectPass {
 public:
  explicit GrassPass(GrassEffect* effect)
      : GeometryNodeEffectPass(String(), effect),
        plain_(new (std::nothrow) VertexShader(String())),
        colored_(new (std::nothrow) VertexShader(String())),
        pixelShader_(new (std::nothrow) PixelShader(String())) {}

  void Invalidate() override {
    effects::SetShaderText(plain_.Get(), shaders::kGrassVertex);
    effects::SetShaderText(colored_.Get(), shaders::kGrassColoredVertex);
    effects::SetShaderText(pixelShader_.Get(), shaders::kTexturePixel);
    GeometryNodeEffectPass::Invalidate();
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? effects::CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    auto* effect = static_cast<GrassEffect*>(GetEffect());
    auto* colors = DynamicCast<ColorBuffer>(geometry->GetColorBuffer());
    renderer->SetPositions(geometry->GetVertexBuffer());
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(effect->GetTexCoordSet()), 0);
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(effect->GetSwaySet()), 1);
    if (colors != nullptr) renderer->SetColors(colors);
    renderer->SetTexture(effect->GetTexture(), 0);
    renderer->SetIndices(geometry->GetIndexBuffer());
    renderer->SetVertexShader(colors != nullptr ? colored_.Get() : plain_.Get());
    effects::SetCommonConstants(*renderer, *effect, ToMatrix(geometry->GetWorldTransform()), *camera,
                                effect->GetColor(), true);
    renderer->SetPixelShader(pixelShader_.Get());
    return kOk;
  }

 private:
  Ref<VertexShader> plain_;
  Ref<VertexShader> colored_;
  Ref<PixelShader> pixelShader_;
};

class GrassTechnique : public Technique {
 public:
  explicit GrassTechnique(GrassEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    Renderer* renderer = GetRenderer();
    const bool supported = renderer != nullptr && effects::HasShaders(*renderer);
    if (supported && GetPassCount() == 0) AddPass(new GrassPass(static_cast<GrassEffect*>(effect_)));
    return supported;
  }
};

}  // namespace

GrassEffect::GrassEffect(const String& name) : TextureEffect(name) { AddTechnique(new GrassTechnique(this)); }

void GrassEffect::SetSwaySet(int32_t set) { swaySet_ = std::clamp(set, 0, 7); }

int GrassEffect::Save(MemoryStream& stream) {
  if (TextureEffect::Save(stream) != kOk) return kFailed;
  if (stream.WriteInt32(swaySet_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить номер набора текстурных координат. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  return kOk;
}

int GrassEffect::Load(MemoryStream& stream) {
  if (TextureEffect::Load(stream) != kOk) return kFailed;
  int32_t set = 0;
  if (stream.ReadInt32(set) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить номер набора текстурных координат. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  SetSwaySet(set);
  return kOk;
}

}  // namespace klx
