#include "render/effects/sprite_effect.h"

#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/render_state_block.h"
#include "render/renderer.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SpriteEffect, GeometryNodeEffect)

namespace {

class SpritePass : public GeometryNodeEffectPass {
 public:
  explicit SpritePass(SpriteEffect* effect) : GeometryNodeEffectPass(String(), effect) {}

  void Invalidate() override {
    GeometryNodeEffectPass::Invalidate();
    if (RenderStateBlock* block = GetRenderStateBlock()) {
      block->pointSprites = true;
      // Blended sprites do not hide what lies behind them.
      block->depthWrite = !GetEffect()->blend;
    }
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? effects::CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    auto* effect = static_cast<SpriteEffect*>(GetEffect());
    renderer->SetVertexShader(nullptr);
    renderer->SetPixelShader(nullptr);
    renderer->SetPositions(geometry->GetVertexBuffer());
    renderer->SetPointSizes(DynamicCast<FloatBuffer>(geometry->GetPointSizeBuffer()));
    renderer->SetColors(DynamicCast<ColorBuffer>(geometry->GetColorBuffer()));
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(0), 0);
    renderer->SetTexture(effect->GetTexture(), 0);
    renderer->SetIndices(geometry->GetIndexBuffer());
    // Particle positions are in world space.
    effects::SetFixedMatrices(*renderer, *camera, Matrix4::Identity());
    return kOk;
  }
};

class SpriteTechnique : public Technique {
 public:
  explicit SpriteTechnique(SpriteEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    Renderer* renderer = GetRenderer();
    const bool supported = renderer != nullptr && renderer->GetCaps().simultaneousTextures >= 1;
    if (supported && GetPassCount() == 0) AddPass(new SpritePass(static_cast<SpriteEffect*>(effect_)));
    return supported;
  }
};

}  // namespace

SpriteEffect::SpriteEffect(const String& name) : GeometryNodeEffect(name) {
  blend = true;
  sourceBlend = 4;       // source alpha
  destinationBlend = 1;  // one: sprites add their light
  AddTechnique(new SpriteTechnique(this));
}

void SpriteEffect::Update(double time) {
  GeometryNodeEffect::Update(time);
  if (texture_) texture_->Update(time);
}

int SpriteEffect::Save(MemoryStream& stream) {
  if (GeometryNodeEffect::Save(stream) != kOk) return kFailed;
  return effects::SaveTextureLink(stream, *this, texture_.Get(), nullptr);
}

int SpriteEffect::Load(MemoryStream& stream) {
  if (GeometryNodeEffect::Load(stream) != kOk) return kFailed;
  return effects::LoadTextureLink(stream, *this, &texture_, nullptr);
}

void SpriteEffect::VisitLinks(const LinkVisitor& visit) const {
  GeometryNodeEffect::VisitLinks(visit);
  visit(texture_.Get());
}

Object* SpriteEffect::FindByName(const String& name) {
  if (Object* found = GeometryNodeEffect::FindByName(name)) return found;
  return texture_ ? texture_->FindByName(name) : nullptr;
}

void SpriteEffect::CollectByType(const RTTI& type, Array<Object*>& found) {
  GeometryNodeEffect::CollectByType(type, found);
  if (texture_) texture_->CollectByType(type, found);
}

}  // namespace klx
