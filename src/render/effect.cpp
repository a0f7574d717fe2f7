#include "render/effect.h"

#include "animation/skin_controller.h"
#include "core/controller.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "render/renderer.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Effect, Object)
KLX_IMPLEMENT_ABSTRACT_CLASS(GeometryNodeEffect, Effect)
KLX_IMPLEMENT_ABSTRACT_CLASS(GeometryNodeEffectPass, Pass)
KLX_IMPLEMENT_ABSTRACT_CLASS(SceneNodeEffect, Effect)

Effect::~Effect() {
  for (Technique* technique : techniques_) delete technique;
}

void Effect::AddTechnique(Technique* technique) {
  if (technique != nullptr) techniques_.InsertAt(0, technique);
}

int32_t Effect::PassCount() {
  if (current_ == nullptr) {
    for (Technique* technique : techniques_) {
      if (technique->IsSupported()) {
        current_ = technique;
        InvalidatePasses();
        break;
      }
    }
  }
  return current_ != nullptr ? current_->GetPassCount() : 0;
}

int Effect::ApplyPass(int32_t index) {
  Pass* pass = current_ != nullptr ? current_->GetPass(index) : nullptr;
  Renderer* renderer = GetRenderer();
  if (pass == nullptr || renderer == nullptr) return kFailed;
  renderer->SetCurrentPass(pass);
  renderer->BeginPass(pass);
  return pass->Apply();
}

void Effect::InvalidatePasses() {
  if (current_ == nullptr) return;
  for (int32_t i = 0; i < current_->GetPassCount(); ++i) current_->GetPass(i)->Invalidate();
}

// ---------------------------------------------------------------------------

void GeometryNodeEffect::SetFogEnable(bool on) {
  fogEnable_ = on;
  InvalidatePasses();
}

void GeometryNodeEffect::SetWindEnable(bool on) {
  windEnable_ = on;
  InvalidatePasses();
}

void GeometryNodeEffect::SetSkinController(Object* controller) {
  if (auto* old = DynamicCast<Controller>(skinController_.Get())) old->SetActive(true);
  if (auto* added = DynamicCast<Controller>(controller)) added->SetActive(true);
  skinController_ = controller;
  InvalidatePasses();
}

void GeometryNodeEffect::Update(double time) {
  Effect::Update(time);
  windTime += time;
  // Without a renderer nothing is drawn (a tool updating a scene it
  // writes): the skin stays with the effect for the renderer to come.
  const Renderer* renderer = GetRenderer();
  if (!skinController_ || renderer == nullptr) return;
  auto* skin = DynamicCast<SkinController>(skinController_.Get());
  const int32_t level = renderer->GetCaps().vertexShaderLevel;
  // The wind texts come before the skinned ones, so a windy effect cannot
  // skin in its shader. PassCount chooses the technique on first use.
  const bool shaderSkinning = skin != nullptr && (level == 1 || level == 2) && !GetWindEnable() &&
                              PassCount() > 0 && GetCurrentTechnique()->SkinsInShaders() &&
                              skin->FitsShaderPalette() && CanSkinInShaders(*skin);
  if (shaderSkinning) {
    skin->SetActive(false);
  } else {
    SetSkinController(nullptr);
  }
}

int GeometryNodeEffect::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  uint8_t clamps = 0;
  for (int i = 0; i < 8; ++i) clamps = static_cast<uint8_t>(clamps | (stageClamps[i] ? 1u << i : 0u));
  stream.WriteByte(clamps);
  stream.WriteColor(diffuse);
  stream.WriteColor(ambient);
  stream.WriteColor(specular);
  stream.WriteColor(emissive);
  stream.WriteFloat(specularPower);
  stream.WriteBool(alphaTest);
  stream.WriteInt32(alphaReference);
  // Bit 0: blending; bit 4: culling off.
  stream.WriteByte(static_cast<uint8_t>((blend ? 0x01 : 0) | (cull ? 0 : 0x10)));
  stream.WriteInt32(sourceBlend);
  stream.WriteInt32(destinationBlend);
  stream.WriteBool(fogEnable_);
  stream.WriteColor(fogColor);
  stream.WriteFloat(fogDensity);
  stream.WriteFloat(fogExponent);
  stream.WriteBool(windEnable_);
  stream.WriteFloat(windAmplitude);
  stream.WriteFloat(windSpeed);
  stream.WriteObject(skinController_.Get());
  if (stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные эффекта. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int GeometryNodeEffect::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  uint8_t clamps = 0, blendAndCull = 0;
  bool fog = false, wind = false;
  // The skin controller must be a controller: a link to any other object
  // (the effect itself, say) could close a loop of counted references.
  Controller* skin = nullptr;
  const bool ok = stream.ReadByte(clamps) == kOk && stream.ReadColor(diffuse) == kOk &&
                  stream.ReadColor(ambient) == kOk && stream.ReadColor(specular) == kOk &&
                  stream.ReadColor(emissive) == kOk && stream.ReadFloat(specularPower) == kOk &&
                  stream.ReadBool(alphaTest) == kOk && stream.ReadInt32(alphaReference) == kOk &&
                  stream.ReadByte(blendAndCull) == kOk && stream.ReadInt32(sourceBlend) == kOk &&
                  stream.ReadInt32(destinationBlend) == kOk && stream.ReadBool(fog) == kOk &&
                  stream.ReadColor(fogColor) == kOk && stream.ReadFloat(fogDensity) == kOk &&
                  stream.ReadFloat(fogExponent) == kOk && stream.ReadBool(wind) == kOk &&
                  stream.ReadFloat(windAmplitude) == kOk && stream.ReadFloat(windSpeed) == kOk &&
                  stream.ReadObjectOf(skin) == kOk && !ClosesLoop(this, skin);
  if (!ok) {
    LogError(KLX_TEXT("Невозможно загрузить данные эффекта. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  for (int i = 0; i < 8; ++i) stageClamps[i] = (clamps & (1u << i)) != 0;
  blend = (blendAndCull & 0x0F) != 0;
  cull = blendAndCull < 16;
  fogEnable_ = fog;
  windEnable_ = wind;
  skinController_ = skin;
  InvalidatePasses();
  return kOk;
}

void GeometryNodeEffectPass::Invalidate() {
  RenderStateBlock* block = GetRenderStateBlock();
  if (effect_ != nullptr && block != nullptr) {
    const GeometryNodeEffect& e = *effect_;
    block->diffuse = e.diffuse;
    block->ambient = e.ambient;
    block->specular = e.specular;
    block->emissive = e.emissive;
    block->specularPower = e.specularPower;
    block->wireframe = e.wireframe;
    block->alphaTestEnable = e.alphaTest;
    block->alphaReference = e.alphaReference;
    block->alphaFunction = 6;  // greater-equal
    block->blendEnable = e.blend;
    block->sourceBlend = e.sourceBlend;
    block->destinationBlend = e.destinationBlend;
    block->fogColor = e.fogColor;
    block->fogDensity = e.fogDensity;
    block->fogMode = e.fogExponent > 2.0f ? 2 : 1;
    block->fogEnable = e.GetFogEnable();
    block->pixelFog = false;
    block->cullEnable = e.cull;
    block->depthEnable = e.depthEnable;
    block->depthWrite = e.depthWrite;
    for (int i = 0; i < RenderStateBlock::kStageCount; ++i) {
      const int32_t address = e.stageClamps[i] ? 0 : 1;
      block->stages[i].addressU = block->stages[i].addressV = block->stages[i].addressW = address;
    }
  }
  Pass::Invalidate();
}

}  // namespace klx
