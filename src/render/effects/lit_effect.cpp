#include "render/effects/lit_effect.h"

#include <cmath>
#include <cstring>
#include <new>

#include "animation/skin_controller.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/effects/shader_texts.h"
#include "render/renderer.h"
#include "render/shader.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(Texture1DLEffect, TextureEffect)

namespace {

// Without a light, the effect is lit by white from above.
constexpr Color kDefaultLightColor{1, 1, 1, 1};
constexpr Vector3 kDefaultTowardsLight{0, 1, 0};

Color Times(const Color& a, const Color& b) { return {a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a}; }

Vector3 Normalized(const Vector3& v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return length > 0.0f ? v * (1.0f / length) : v;
}

void SetConstant(Renderer& renderer, bool pixel, int32_t index, float x, float y, float z, float w) {
  const float value[4] = {x, y, z, w};
  if (pixel) {
    renderer.SetPixelShaderConstants(index, value, 1);
  } else {
    renderer.SetVertexShaderConstants(index, value, 1);
  }
}
void SetConstant(Renderer& renderer, bool pixel, int32_t index, const Color& c) {
  SetConstant(renderer, pixel, index, c.r, c.g, c.b, c.a);
}

class LitPass : public GeometryNodeEffectPass {
 public:
  LitPass(Texture1DLEffect* effect, bool shaders, bool perPixel)
      : GeometryNodeEffectPass(String(), effect),
        shaders_(shaders),
        perPixel_(perPixel),
        vertexShader_(new (std::nothrow) VertexShader(String())),
        pixelShader_(new (std::nothrow) PixelShader(String())) {}

  void Invalidate() override {
    if (shaders_) {
      // The wind bends the geometry per vertex; the per-pixel text has no
      // wind of its own, so a windy effect is lit per vertex. A skin the
      // effect kept is blended by the skinned texts.
      wind_ = GetEffect()->GetWindEnable();
      skinned_ = !wind_ && effects::ShaderSkin(*GetEffect()) != nullptr && effects::ShaderSkinningAvailable();
      usingPerPixel_ = perPixel_ && !wind_;
      const char* vertex = wind_             ? shaders::kLitWindVertex
                           : skinned_        ? (usingPerPixel_ ? shaders::kLitSkinnedPerPixelVertex
                                                               : shaders::kLitSkinnedVertex)
                           : usingPerPixel_ ? shaders::kLitPerPixelVertex
                                            : shaders::kLitVertex;
      const char* pixel = usingPerPixel_ ? shaders::kLitPerPixelPixel : shaders::kLitPixel;
      effects::SetShaderText(vertexShader_.Get(), vertex);
      effects::SetShaderText(pixelShader_.Get(), pixel);
    }
    GeometryNodeEffectPass::Invalidate();
  }

  int Apply() override {
    Renderer* renderer = GetRenderer();
    GeometryNode* geometry = renderer != nullptr ? effects::CurrentGeometry(*renderer) : nullptr;
    Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
    if (geometry == nullptr || camera == nullptr || geometry->GetVertexBuffer() == nullptr) return kFailed;
    auto* effect = static_cast<Texture1DLEffect*>(GetEffect());
    SkinController* skin = skinned_ && shaders_ ? effects::ShaderSkin(*effect) : nullptr;
    // Skinned positions are in world space: no world matrix of their own.
    const Matrix4 world = skin != nullptr ? Matrix4::Identity() : ToMatrix(geometry->GetWorldTransform());
    if (skin != nullptr) {
      effects::SetSkinStreamsAndConstants(*renderer, *effect, *skin, *camera, effect->GetColor());
      renderer->SetNormals(DynamicCast<Vector3Buffer>(skin->GetNormals()));
    } else {
      renderer->SetPositions(geometry->GetVertexBuffer());
      renderer->SetNormals(DynamicCast<Vector3Buffer>(geometry->GetNormalBuffer()));
    }
    renderer->SetTexCoords(geometry->GetTexCoordBuffer(effect->GetTexCoordSet()), 0);
    renderer->SetTexture(effect->GetTexture(), 0);
    renderer->SetIndices(geometry->GetIndexBuffer());
    Light* light = effect->GetLight();
    if (!shaders_) {
      // The device's own lighting, with the material of the pass's block.
      renderer->SetColors(nullptr);
      effects::SetFixedMatrices(*renderer, *camera, world);
      if (light != nullptr) {
        renderer->PushLight(light);
        renderer->ApplyLight(light);
      }
      return kOk;
    }
    renderer->SetVertexShader(vertexShader_.Get());
    if (skin == nullptr) {
      effects::SetMatrixConstants(*renderer, 0, world * camera->GetViewProjection());
      effects::SetMatrixConstants(*renderer, 4, world * camera->GetView());
    }
    // The light's direction and the camera in the geometry's own space.
    Matrix4 toObject;
    world.Inverse(&toObject);
    const Vector3 towards =
        Normalized(light != nullptr ? toObject.TransformVector(light->GetDirection() * -1.0f) : kDefaultTowardsLight);
    const Vector3 eye = toObject.TransformPoint(camera->GetWorldTransform().translation);
    const Color lightAmbient = light != nullptr ? light->ambient : kDefaultLightColor;
    const Color lightDiffuse = light != nullptr ? light->diffuse : kDefaultLightColor;
    const Color lightSpecular = light != nullptr ? light->specular : kDefaultLightColor;
    // The same order from c8 (plain texts) or c210 (skinned texts).
    const int32_t base = skin != nullptr ? shaders::kSkinLitRegister : 8;
    SetConstant(*renderer, false, base + 0, effect->ambient);
    SetConstant(*renderer, false, base + 1, effect->diffuse);
    SetConstant(*renderer, false, base + 2, effect->specular);
    SetConstant(*renderer, false, base + 3, effect->emissive);
    SetConstant(*renderer, false, base + 4, effect->specularPower, 0, 0, 0);
    SetConstant(*renderer, false, base + 5, lightAmbient);
    SetConstant(*renderer, false, base + 6, lightDiffuse);
    SetConstant(*renderer, false, base + 7, lightSpecular);
    SetConstant(*renderer, false, base + 8, towards.x, towards.y, towards.z, 0);
    SetConstant(*renderer, false, base + 9, eye.x, eye.y, eye.z, 1);
    if (skin == nullptr) SetConstant(*renderer, false, 18, effect->fogDensity, effect->fogExponent, 0, 0);
    if (wind_) {
      SetConstant(*renderer, false, 19, effect->windAmplitude, effect->windSpeed, static_cast<float>(effect->windTime),
                  1);
    }
    renderer->SetPixelShader(pixelShader_.Get());
    if (usingPerPixel_) {
      SetConstant(*renderer, true, 0, Times(effect->ambient, lightAmbient));
      SetConstant(*renderer, true, 1, Times(effect->diffuse, lightDiffuse));
      SetConstant(*renderer, true, 2, Times(effect->specular, lightSpecular));
      SetConstant(*renderer, true, 3, effect->emissive);
      SetConstant(*renderer, true, 4, effect->specularPower, 0, 0, 0);
      SetConstant(*renderer, true, 5, towards.x, towards.y, towards.z, 0);
      SetConstant(*renderer, true, 7, 0, 0, 0, effect->diffuse.a);
    }
    return kOk;
  }

 private:
  bool shaders_;
  bool perPixel_;
  bool wind_ = false;
  bool skinned_ = false;
  bool usingPerPixel_ = false;
  Ref<VertexShader> vertexShader_;
  Ref<PixelShader> pixelShader_;
};

class LitTechnique : public Technique {
 public:
  LitTechnique(Texture1DLEffect* effect, bool shaders) : Technique(effect), shaders_(shaders) {}
  bool SkinsInShaders() const override { return shaders_; }
  bool IsSupported() override {
    Renderer* renderer = GetRenderer();
    if (renderer == nullptr) return false;
    const RendererCaps& caps = renderer->GetCaps();
    bool supported = caps.simultaneousTextures >= 2 && caps.maxActiveLights >= 1;
    if (shaders_) supported = supported && effects::HasShaders(*renderer);
    if (supported && GetPassCount() == 0) {
      // Per pixel where both shader levels reach 2.0.
      const bool perPixel = shaders_ && caps.vertexShaderLevel >= 1 && caps.vertexShaderLevel != kShaderLevelNone &&
                            caps.pixelShaderLevel >= 1 && caps.pixelShaderLevel != kShaderLevelNone;
      AddPass(new LitPass(static_cast<Texture1DLEffect*>(effect_), shaders_, perPixel));
    }
    return supported;
  }

 private:
  bool shaders_;
};

}  // namespace

Texture1DLEffect::Texture1DLEffect(const String& name) : TextureEffect(name) {
  AddTechnique(new LitTechnique(this, false));
  AddTechnique(new LitTechnique(this, true));
}

bool Texture1DLEffect::CanSkinInShaders(SkinController& skin) {
  // The skinned texts light the bind-pose normals, blended like the points.
  const auto* normals = DynamicCast<Vector3Buffer>(skin.GetNormals());
  return normals != nullptr && skin.GetVertices() != nullptr && normals->GetCount() == skin.GetVertices()->GetCount();
}

void Texture1DLEffect::SetLight(Light* light) { light_ = light; }

int Texture1DLEffect::Save(MemoryStream& stream) {
  if (TextureEffect::Save(stream) != kOk) return kFailed;
  if (stream.WriteObject(light_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить источник света. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int Texture1DLEffect::Load(MemoryStream& stream) {
  if (TextureEffect::Load(stream) != kOk) return kFailed;
  Light* light = nullptr;
  if (stream.ReadObjectOf(light) != kOk || ClosesLoop(this, light)) {
    LogError(KLX_TEXT("Невозможно загрузить источник света. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  light_ = light;
  return kOk;
}

void Texture1DLEffect::VisitLinks(const LinkVisitor& visit) const {
  TextureEffect::VisitLinks(visit);
  visit(light_.Get());
}

Object* Texture1DLEffect::FindByName(const String& name) {
  if (Object* found = TextureEffect::FindByName(name)) return found;
  return light_ ? light_->FindByName(name) : nullptr;
}

void Texture1DLEffect::CollectByType(const RTTI& type, Array<Object*>& found) {
  TextureEffect::CollectByType(type, found);
  if (light_) light_->CollectByType(type, found);
}

}  // namespace klx
