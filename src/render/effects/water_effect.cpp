#include "render/effects/water_effect.h"

#include <cmath>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/effects/screenspace_texture_controllers.h"
#include "render/effects/shader_texts.h"
#include "render/effects/texture_controllers.h"
#include "render/renderer.h"
#include "render/shader.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(ReflectiveRefractiveQuietFlatWaterEffect, NormalmapTextureEffect)

namespace {

using WaterEffect = ReflectiveRefractiveQuietFlatWaterEffect;

// A map with the controller that fills it.
Ref<Texture> MakeMap(const char* pattern, uint32_t width, uint32_t height, Controller* controller) {
  Ref<Controller> held(controller);
  Ref<Texture> texture = effects::MakeNamedTarget(pattern, kImageRGBA8, width, height);
  if (texture && held) (void)texture->AttachController(held.Get());
  return texture;
}

// Tells the screen-space controllers of a map where the surface is.
void TellControllers(Texture* map, float height) {
  if (map == nullptr) return;
  for (int32_t i = 0; i < map->GetControllerCount(); ++i) {
    if (auto* controller = dynamic_cast<ScreenspaceTextureController*>(map->GetController(i))) {
      controller->SetWaterHeight(height);
    }
  }
}

// The water's one shader pass: normal map on stage 0, Fresnel ramp on 1,
// reflection on 2, refraction on 3.
class WaterPass : public GeometryNodeEffectPass {
 public:
  explicit WaterPass(WaterEffect* effect)
      : GeometryNodeEffectPass(String(), effect),
        vertexShader_(new (std::nothrow) VertexShader(String())),
        pixelShader_(new (std::nothrow) PixelShader(String())) {}

  void Invalidate() override {
    effects::SetShaderText(vertexShader_.Get(), shaders::kWaterVertex);
    effects::SetShaderText(pixelShader_.Get(), shaders::kWaterPixel);
    GeometryNodeEffectPass::Invalidate();
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? effects::CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    // The eye vector and the Fresnel look-up need the surface's normals.
    if (geometry->GetNormalBuffer() == nullptr) geometry->GenerateNormals();
    auto* effect = static_cast<WaterEffect*>(GetEffect());
    const Transform& placement = geometry->GetWorldTransform();
    effect->SurfaceDrawnAt(placement.translation.y);

    renderer->SetPositions(geometry->GetVertexBuffer());
    renderer->SetNormals(DynamicCast<Vector3Buffer>(geometry->GetNormalBuffer()));
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(effect->GetSecondTexCoordSet()), 1);
    renderer->SetIndices(geometry->GetIndexBuffer());
    renderer->SetTexture(effect->GetNormalmap(), 0);
    renderer->SetTexture(effect->GetFresnelMap(), 1);
    renderer->SetTexture(effect->GetReflectionMap(), 2);
    renderer->SetTexture(effect->GetRefractionMap(), 3);

    const Matrix4 world = ToMatrix(placement);
    renderer->SetVertexShader(vertexShader_.Get());
    effects::SetCommonConstants(*renderer, *effect, world, *camera, effect->GetColor());
    Matrix4 toObject;
    if (!world.Inverse(&toObject)) toObject = Matrix4::Identity();
    const Vector3 eye = toObject.TransformPoint(camera->GetPosition());
    const float c9[4] = {eye.x, eye.y, eye.z, 1.0f};
    const double phase = effect->windTime * static_cast<double>(effect->waveSpeed);
    const float c10[4] = {effect->normalmapScale.x, effect->normalmapScale.y,
                          effect->waveAmplitude * static_cast<float>(std::sin(phase)),
                          effect->waveAmplitude * static_cast<float>(std::cos(phase))};
    const float c11[4] = {effect->fogDensity, effect->fogExponent, 0.0f, 0.0f};
    renderer->SetVertexShaderConstants(9, c9, 1);
    renderer->SetVertexShaderConstants(10, c10, 1);
    renderer->SetVertexShaderConstants(11, c11, 1);

    renderer->SetPixelShader(pixelShader_.Get());
    const float c0[4] = {effect->refractionDistortion, 0.0f, 0.0f, 0.0f};
    const float c2[4] = {effect->reflectionDistortion, 0.0f, 0.0f, 0.0f};
    renderer->SetPixelShaderConstants(0, c0, 1);
    renderer->SetPixelShaderConstants(2, c2, 1);
    return kOk;
  }

 private:
  Ref<VertexShader> vertexShader_;
  Ref<PixelShader> pixelShader_;
};

// Needs vertex and pixel shaders at 2.0 (or 3.0), four texture stages and
// all four maps.
class WaterTechnique : public Technique {
 public:
  explicit WaterTechnique(WaterEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    const Renderer* renderer = GetRenderer();
    if (renderer == nullptr) return false;
    const RendererCaps& caps = renderer->GetCaps();
    auto* effect = static_cast<WaterEffect*>(effect_);
    const bool supported = (caps.vertexShaderLevel == 1 || caps.vertexShaderLevel == 2) &&
                           (caps.pixelShaderLevel == 1 || caps.pixelShaderLevel == 2) &&
                           caps.simultaneousTextures >= 4 && effect->GetNormalmap() != nullptr &&
                           effect->GetReflectionMap() != nullptr && effect->GetRefractionMap() != nullptr &&
                           effect->GetFresnelMap() != nullptr;
    if (supported && GetPassCount() == 0) AddPass(new WaterPass(effect));
    return supported;
  }
};

}  // namespace

ReflectiveRefractiveQuietFlatWaterEffect::ReflectiveRefractiveQuietFlatWaterEffect(const String& name)
    : NormalmapTextureEffect(name) {
  reflection_ = MakeMap("Reflect Texture %d", kMapWidth, kMapHeight,
                        new (std::nothrow) RenderScreenspaceReflectTextureController(String()));
  refraction_ = MakeMap("Refract Texture %d", kMapWidth, kMapHeight,
                        new (std::nothrow) RenderScreenspaceRefractTextureController(String()));
  fresnel_ = MakeMap("Fresnel Texture %d", kMapWidth, 1, new (std::nothrow) FresnelTextureController(String()));
  // The ramp's last column and the screen's edges must not wrap round.
  stageClamps[1] = stageClamps[2] = stageClamps[3] = true;
  AddTechnique(new WaterTechnique(this));
}

void ReflectiveRefractiveQuietFlatWaterEffect::SurfaceDrawnAt(float height) {
  TellControllers(reflection_.Get(), height);
  TellControllers(refraction_.Get(), height);
}

void ReflectiveRefractiveQuietFlatWaterEffect::Update(double time) {
  NormalmapTextureEffect::Update(time);
  if (reflection_) reflection_->Update(time);
  if (refraction_) refraction_->Update(time);
  if (fresnel_) fresnel_->Update(time);
}

int ReflectiveRefractiveQuietFlatWaterEffect::Save(MemoryStream& stream) {
  if (NormalmapTextureEffect::Save(stream) != kOk) return kFailed;
  if (stream.WriteObject(reflection_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить карту отражения. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(refraction_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить карту преломления. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(fresnel_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить карту френеля. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteVector2(normalmapScale) != kOk || stream.WriteFloat(waveAmplitude) != kOk ||
      stream.WriteFloat(waveSpeed) != kOk || stream.WriteFloat(reflectionDistortion) != kOk ||
      stream.WriteFloat(refractionDistortion) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные эффекта. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

namespace {

// One stored map: a texture (or null) that does not hold the effect.
bool LoadMap(MemoryStream& stream, Object& owner, Ref<Texture>* map) {
  Texture* loaded = nullptr;
  if (stream.ReadObjectOf(loaded) != kOk || ClosesLoop(&owner, loaded)) return false;
  *map = loaded;
  return true;
}

}  // namespace

int ReflectiveRefractiveQuietFlatWaterEffect::Load(MemoryStream& stream) {
  if (NormalmapTextureEffect::Load(stream) != kOk) return kFailed;
  if (!LoadMap(stream, *this, &reflection_)) {
    LogError(KLX_TEXT("Невозможно загрузить карту отражения. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  if (!LoadMap(stream, *this, &refraction_)) {
    LogError(KLX_TEXT("Невозможно загрузить карту преломления. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  if (!LoadMap(stream, *this, &fresnel_)) {
    LogError(KLX_TEXT("Невозможно загрузить карту френеля. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  Vector2 scale;
  float amplitude = 0, speed = 0, reflection = 0, refraction = 0;
  if (stream.ReadVector2(scale) != kOk || stream.ReadFloat(amplitude) != kOk || stream.ReadFloat(speed) != kOk ||
      stream.ReadFloat(reflection) != kOk || stream.ReadFloat(refraction) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные эффекта. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  normalmapScale = scale;
  waveAmplitude = amplitude;
  waveSpeed = speed;
  reflectionDistortion = reflection;
  refractionDistortion = refraction;
  return kOk;
}

void ReflectiveRefractiveQuietFlatWaterEffect::VisitLinks(const LinkVisitor& visit) const {
  NormalmapTextureEffect::VisitLinks(visit);
  visit(reflection_.Get());
  visit(refraction_.Get());
  visit(fresnel_.Get());
}

Object* ReflectiveRefractiveQuietFlatWaterEffect::FindByName(const String& name) {
  if (Object* found = NormalmapTextureEffect::FindByName(name)) return found;
  for (Texture* map : {reflection_.Get(), refraction_.Get(), fresnel_.Get()}) {
    if (map == nullptr) continue;
    if (Object* found = map->FindByName(name)) return found;
  }
  return nullptr;
}

void ReflectiveRefractiveQuietFlatWaterEffect::CollectByType(const RTTI& type, Array<Object*>& found) {
  NormalmapTextureEffect::CollectByType(type, found);
  for (Texture* map : {reflection_.Get(), refraction_.Get(), fresnel_.Get()}) {
    if (map != nullptr) map->CollectByType(type, found);
  }
}

}  // namespace klx
