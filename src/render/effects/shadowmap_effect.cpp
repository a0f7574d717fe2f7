#include "render/effects/shadowmap_effect.h"

#include <new>
#include <vector>

#include "animation/skin_controller.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "render/effects/effect_support.h"
#include "render/effects/grass_effect.h"
#include "render/effects/shader_texts.h"
#include "render/effects/shadow_fit.h"
#include "render/renderer.h"
#include "render/shader.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/light.h"
#include "scene/scene_node.h"
#include "scene/sprite_particles.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_CLASS(ShadowmapEffect, SceneNodeEffect)
KLX_IMPLEMENT_CLASS(RenderShadowmapEffectController, PostUpdateController)

namespace {

constexpr uint32_t kDefaultMapSize = 128;

// A pass that only sets state (the children then draw as usual): its
// recording is ended without drawing.
class StatePass : public Pass {
 public:
  StatePass() : Pass(String()) {}
  int Apply() override {
    if (Renderer* renderer = GetRenderer()) renderer->DrawPrimitives(0, 0);
    return kOk;
  }
};

enum ReceiverKind { kPlain = 0, kWind, kGrass, kSkinned, kReceiverKinds };

// The shadow test over one kind of receiver: blended over what is drawn,
// on the same depths, nothing written to depth.
class ReceiverPass : public Pass {
 public:
  ReceiverPass(ReceiverKind kind, bool soft)
      : Pass(String()),
        vertexShader_(new (std::nothrow) VertexShader(String())),
        pixelShader_(new (std::nothrow) PixelShader(String())) {
    static const char* const vertexTexts[kReceiverKinds] = {shaders::kShadowVertex, shaders::kShadowWindVertex,
                                                            shaders::kShadowGrassVertex, shaders::kShadowSkinnedVertex};
    effects::SetShaderText(vertexShader_.Get(), vertexTexts[kind]);
    effects::SetShaderText(pixelShader_.Get(), soft ? shaders::kShadowSoftPixel : shaders::kShadowPixel);
    if (RenderStateBlock* states = GetRenderStateBlock()) {
      states->blendEnable = true;
      states->sourceBlend = 4;       // source alpha
      states->destinationBlend = 5;  // one minus source alpha
      states->depthWrite = false;
      states->depthFunction = 2;  // less or equal: the receiver's own depths
      states->cullEnable = false;
      states->fogEnable = false;
    }
  }
  int Apply() override { return kOk; }
  VertexShader* Vertex() const { return vertexShader_.Get(); }
  PixelShader* Pixel() const { return pixelShader_.Get(); }

 private:
  Ref<VertexShader> vertexShader_;
  Ref<PixelShader> pixelShader_;
};

// Pass 1: every receiver once more with the test, then a skip.
class ShadowTestPass : public Pass {
 public:
  explicit ShadowTestPass(ShadowmapEffect* effect) : Pass(String()), effect_(effect) {}
  int Apply() override;

 private:
  ReceiverPass* PassFor(ReceiverKind kind, bool soft) {
    Ref<ReceiverPass>& pass = passes_[kind][soft ? 1 : 0];
    if (!pass) pass = new (std::nothrow) ReceiverPass(kind, soft);
    return pass.Get();
  }
  void DrawReceiver(Renderer& renderer, Camera& camera, GeometryNode& receiver, bool soft);

  ShadowmapEffect* effect_;  // the owner; not counted
  Ref<ReceiverPass> passes_[kReceiverKinds][2];
};

ReceiverKind KindOf(const GeometryNodeEffect& effect) {
  const SkinController* skin = effects::ShaderSkin(effect);
  if (skin != nullptr && !skin->IsActive()) return kSkinned;
  if (effect.GetWindEnable()) return kWind;
  if (effect.IsKindOf(GrassEffect::TYPE)) return kGrass;
  return kPlain;
}

// Surfaces (triangles) the test can be drawn over: not without an effect
// or with it switched off, nor with see-through parts the test would
// darken.
bool TakesShadows(const GeometryNode& node) {
  const auto* effect = DynamicCast<GeometryNodeEffect>(node.GetEffect());
  return effect != nullptr && effect->IsEnabled() && !effect->alphaTest && !effect->blend &&
         node.IsKindOf(Triangles::TYPE);
}

// True when the node or a node above it, up to the effect's node, is
// hidden: the children's drawing left it out, and so must the test.
bool HiddenBelow(const Node& node, const SceneNode* owner) {
  for (const Node* at = &node; at != nullptr && at != owner; at = at->GetParent()) {
    if (at->IsHidden()) return true;
  }
  return false;
}

int ShadowTestPass::Apply() {
  Renderer* renderer = GetRenderer();
  if (renderer == nullptr) return 1;
  renderer->DrawPrimitives(0, 0);
  Camera* camera = renderer->GetCamera();
  if (camera == nullptr || !effect_->HasShadowMap()) return 1;
  const bool soft = effect_->SoftShadows() && renderer->GetCaps().pixelShaderLevel >= 1 &&
                    renderer->GetCaps().pixelShaderLevel != kShaderLevelNone;
  for (int32_t i = 0; i < effect_->GetReceiverCount(); ++i) {
    GeometryNode* receiver = effect_->GetReceiver(i);
    if (receiver == nullptr || HiddenBelow(*receiver, effect_->GetOwner()) || !TakesShadows(*receiver)) continue;
    if (const BoundingVolume* bound = receiver->GetWorldBound()) {
      camera->SetPlaneMask(0xFFFFFFFFu);
      if (camera->IsCulled(*bound)) continue;
    }
    DrawReceiver(*renderer, *camera, *receiver, soft);
  }
  camera->SetPlaneMask(0xFFFFFFFFu);
  renderer->SetCurrentPass(this);
  return 1;  // the children were drawn in pass 0
}

void ShadowTestPass::DrawReceiver(Renderer& renderer, Camera& camera, GeometryNode& receiver, bool soft) {
  auto* effect = static_cast<GeometryNodeEffect*>(receiver.GetEffect());
  const ReceiverKind kind = KindOf(*effect);
  ReceiverPass* pass = PassFor(kind, soft);
  if (pass == nullptr || receiver.GetVertexBuffer() == nullptr || receiver.GetIndexBuffer() == nullptr) return;
  renderer.SetCurrentGeometry(&receiver);
  renderer.SetCurrentPass(pass);
  renderer.BeginPass(pass);
  Texture* map = effect_->GetShadowMap();
  const Color& color = effect_->shadowColor;
  renderer.SetVertexShader(pass->Vertex());
  if (kind == kSkinned) {
    SkinController* skin = effects::ShaderSkin(*effect);
    renderer.SetPositions(skin->GetVertices());
    renderer.SetBlendWeights(skin->GetWeights());
    renderer.SetBlendIndices(skin->GetIndices());
    effects::SetMatrixConstants(renderer, 0, camera.GetViewProjection());
    effects::SetPaletteConstants(renderer, *skin, shaders::kShadowPaletteRegister);
    effects::SetMatrixConstants(renderer, shaders::kShadowSkinMatrixRegister, effect_->GetShadowMatrix());
    const float c208[4] = {color.r, color.g, color.b, color.a};
    renderer.SetVertexShaderConstants(shaders::kShadowSkinColorRegister, c208, 1);
  } else {
    renderer.SetPositions(receiver.GetVertexBuffer());
    if (kind == kGrass) {
      renderer.SetTexCoords(receiver.GetTexCoordBuffer(static_cast<GrassEffect*>(effect)->GetSwaySet()), 1);
    }
    const Matrix4 world = ToMatrix(receiver.GetWorldTransform());
    effects::SetCommonConstants(renderer, *effect, world, camera, color, kind == kGrass);
    effects::SetMatrixConstants(renderer, 4, world * effect_->GetShadowMatrix());
  }
  renderer.SetIndices(receiver.GetIndexBuffer());
  renderer.SetPixelShader(pass->Pixel());
  if (soft) {
    const Image* image = map->GetImage();
    const float c0[4] = {1.0f / static_cast<float>(image->GetWidth()), 1.0f / static_cast<float>(image->GetHeight()),
                         0.0f, 0.0f};
    renderer.SetPixelShaderConstants(0, c0, 1);
  }
  renderer.SetTexture(map, soft ? 0 : 1);
  const int32_t vertexCount = kind == kSkinned ? effects::ShaderSkin(*effect)->GetVertices()->GetCount()
                                               : receiver.GetVertexBuffer()->GetCount();
  renderer.DrawIndexed(3, vertexCount, receiver.GetIndexBuffer()->GetCount());
  renderer.SetTexture(nullptr, soft ? 0 : 1);
}

// Shadows where the machine has hardware shadow maps and shaders.
class ShadowTechnique : public Technique {
 public:
  explicit ShadowTechnique(ShadowmapEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    const Renderer* renderer = GetRenderer();
    const bool supported =
        renderer != nullptr && renderer->GetCaps().hardwareShadowMaps && effects::HasShaders(*renderer);
    if (supported && GetPassCount() == 0) {
      auto* effect = static_cast<ShadowmapEffect*>(effect_);
      AddPass(new StatePass);
      AddPass(new ShadowTestPass(effect));
      effect->CollectReceivers();
    }
    return supported;
  }
};

// No shadows: the children as they are.
class PlainTechnique : public Technique {
 public:
  explicit PlainTechnique(ShadowmapEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    if (GetPassCount() == 0) AddPass(new StatePass);
    return true;
  }
};

bool HasMapController(const Object& object) {
  for (int32_t i = 0; i < object.GetControllerCount(); ++i) {
    if (DynamicCast<RenderShadowmapEffectController>(object.GetController(i)) != nullptr) return true;
  }
  return false;
}

}  // namespace

ShadowmapEffect::ShadowmapEffect(const String& name) : SceneNodeEffect(name), lightCamera_(new Camera(String())) {
  AddTechnique(new PlainTechnique(this));
  AddTechnique(new ShadowTechnique(this));
  SetShadowMap(effects::MakeNamedTarget("Shadowmap %d", kImageDepthTarget, kDefaultMapSize, kDefaultMapSize).Get());
  Ref<RenderShadowmapEffectController> controller(new (std::nothrow) RenderShadowmapEffectController(String()));
  if (controller) (void)AttachController(controller.Get());
}

ShadowmapEffect::~ShadowmapEffect() = default;

void ShadowmapEffect::SetShadowMap(Texture* map) {
  shadowMap_ = map;
  colorTarget_ = nullptr;
  mapReady_ = false;
  const Image* image = map != nullptr ? map->GetImage() : nullptr;
  if (image == nullptr) return;
  colorTarget_ = effects::MakeNamedTarget("Shadowmap Color %d", kImageRGBA8, image->GetWidth(), image->GetHeight());
  // Only the device draws into the colour target and nothing reads it: its
  // image needs a size and a format, not pixels in memory.
  if (colorTarget_ && colorTarget_->GetImage() != nullptr) colorTarget_->GetImage()->SetPixels(nullptr);
}

void ShadowmapEffect::AddCaster(Node* node) {
  if (node != nullptr) (void)casters_.Append(Ref<Node>(node));
}

Node* ShadowmapEffect::GetCaster(int32_t index) const {
  return index >= 0 && index < casters_.Count() ? casters_[index].Get() : nullptr;
}

GeometryNode* ShadowmapEffect::GetReceiver(int32_t index) const {
  return index >= 0 && index < receivers_.Count() ? receivers_[index].Get() : nullptr;
}

void ShadowmapEffect::CollectReceivers() {
  receivers_.Clear();
  SceneNode* owner = GetOwner();
  if (owner == nullptr) return;
  Array<Object*> found(64, 64);
  owner->CollectByType(GeometryNode::TYPE, found);
  for (Object* object : found) {
    auto* node = static_cast<GeometryNode*>(object);
    if (!node->IsKindOf(SpriteParticleSystem::TYPE)) (void)receivers_.Append(Ref<GeometryNode>(node));
  }
}

namespace {

// The sphere round the world bounds of a list of nodes, leaving out bounds
// that stand for "never culled" (a skin on one bone): they say nothing of
// where the node is (`unknown` tells of them). False when none is left.
template <class T>
bool BoundOf(const Array<Ref<T>>& nodes, Vector3* center, float* radius, bool* unknown = nullptr) {
  constexpr float kLargestRadius = 1.0e6f;
  Ref<SphereBoundingVolume> all(new (std::nothrow) SphereBoundingVolume());
  bool any = false;
  for (int32_t i = 0; i < nodes.Count() && all; ++i) {
    const BoundingVolume* bound = nodes[i] ? nodes[i]->GetWorldBound() : nullptr;
    if (bound == nullptr || bound->GetType() != kSphereVolumeType) continue;
    const float r = static_cast<const SphereBoundingVolume*>(bound)->GetRadius();
    if (!(r >= 0.0f) || r > kLargestRadius) {
      if (unknown != nullptr) *unknown = true;
      continue;
    }
    if (any) {
      all->Merge(bound);
    } else {
      all->CopyFrom(bound);
      any = true;
    }
  }
  if (!any) return false;
  *center = all->GetCenter();
  *radius = all->GetRadius();
  return true;
}

}  // namespace

void ShadowmapEffect::RenderShadowMap() {
  Renderer* renderer = GetRenderer();
  Camera* camera = renderer != nullptr ? renderer->GetCamera() : nullptr;
  SceneNode* owner = GetOwner();
  // Only the shadow technique uses a map.
  if (camera == nullptr || !light_ || !shadowMap_ || !colorTarget_ || owner == nullptr || PassCount() != 2) return;
  const Image* image = shadowMap_->GetImage();
  // The casters bound how far towards the light the map must reach; the
  // receivers, how far from the camera a shadow can fall.
  ShadowRegion region;
  if (image == nullptr || !BoundOf(casters_, &region.casterCenter, &region.casterRadius)) return;
  bool unknown = false;
  if (!BoundOf(receivers_, &region.receiverCenter, &region.receiverRadius, &unknown) || unknown) {
    // A receiver of no known place: shadows may fall anywhere in view.
    region.receiverCenter = camera->GetPosition();
    region.receiverRadius = camera->GetFarPlane();
  }
  const float width = static_cast<float>(renderer->GetViewportWidth());
  const float height = static_cast<float>(renderer->GetViewportHeight());
  const float aspect = width > 0.0f && height > 0.0f ? width / height : renderer->GetScreenAspect();
  const LightFit fit = FitLightToView(light_->GetDirection(), *camera, aspect, region, Warps(), warpLimit);
  warped_ = fit.perspective;
  lightCamera_->SetMatrices(fit.view, fit.projection);
  shadowMatrix_ = fit.view * fit.projection *
                  ShadowTextureMatrix(static_cast<int32_t>(image->GetWidth()), static_cast<int32_t>(image->GetHeight()));

  if (renderer->BeginRenderToTexture(colorTarget_.Get()) != kOk) return;
  if (renderer->BeginRenderToShadowMap(shadowMap_.Get(), depthBias, slopeBias) == kOk) {
    renderer->Clear(kClearDepth, renderer->GetClearColor(), 1.0f, 0);
    Ref<Camera> previous(camera);
    renderer->SetCamera(lightCamera_.Get());
    for (int32_t i = 0; i < casters_.Count(); ++i) {
      if (!casters_[i]) continue;
      lightCamera_->SetPlaneMask(0xFFFFFFFFu);
      casters_[i]->Draw(renderer);
    }
    renderer->BeginRenderToShadowMap(nullptr, 0.0f, 1.0f);
    renderer->SetCamera(previous.Get());
    mapReady_ = true;
  }
  renderer->BeginRenderToTexture(nullptr);
}

int32_t RemoveShadowmapEffects(Object& root) {
  Array<Object*> found(4, 4);
  root.CollectByType(ShadowmapEffect::TYPE, found);
  // Held while they come off: a node may hold the last reference.
  std::vector<Ref<ShadowmapEffect>> shadows;
  for (Object* object : found) shadows.emplace_back(static_cast<ShadowmapEffect*>(object));
  for (const Ref<ShadowmapEffect>& shadow : shadows) {
    if (SceneNode* owner = shadow->GetOwner()) owner->RemoveEffect(shadow.Get());
  }
  return static_cast<int32_t>(shadows.size());
}

void RenderShadowmapEffectController::PostUpdate() {
  if (auto* effect = DynamicCast<ShadowmapEffect>(GetOwner())) effect->RenderShadowMap();
}

// ---------------------------------------------------------------------------
// Stored form

int ShadowmapEffect::Save(MemoryStream& stream) {
  if (SceneNodeEffect::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(light_.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить источник света. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(shadowMap_.Get()) != kOk || stream.WriteColor(shadowColor) != kOk ||
      stream.WriteByte(flags) != kOk || stream.WriteFloat(depthBias) != kOk || stream.WriteFloat(slopeBias) != kOk ||
      stream.WriteFloat(warpLimit) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить шадамап. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObjectArray(casters_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить узлы. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int ShadowmapEffect::Load(MemoryStream& stream) {
  // The stored controllers replace the one the constructor attached.
  DetachAllControllers();
  if (SceneNodeEffect::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (!HasMapController(*this)) {
    Ref<RenderShadowmapEffectController> controller(new (std::nothrow) RenderShadowmapEffectController(String()));
    if (controller) (void)AttachController(controller.Get());
  }
  Light* light = nullptr;
  if (stream.ReadObjectOf(light) != kOk || stream.IsReading(light) || ClosesLoop(this, light)) {
    LogError(KLX_TEXT("Невозможно загрузить источник света. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  light_ = light;
  Texture* map = nullptr;
  if (stream.ReadObjectOf(map) != kOk || ClosesLoop(this, map)) {
    LogError(KLX_TEXT("Невозможно загрузить карту теней. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  if (map != nullptr) SetShadowMap(map);
  Color color;
  uint8_t storedFlags = 0;
  float bias = 0, slope = 0, limit = 0;
  if (stream.ReadColor(color) != kOk || stream.ReadByte(storedFlags) != kOk || stream.ReadFloat(bias) != kOk ||
      stream.ReadFloat(slope) != kOk || stream.ReadFloat(limit) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить цвет тени. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  shadowColor = color;
  flags = storedFlags;
  depthBias = bias;
  slopeBias = slope;
  warpLimit = limit;
  if (stream.ReadLinkList(casters_, *this) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить узлы. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

void ShadowmapEffect::VisitLinks(const LinkVisitor& visit) const {
  SceneNodeEffect::VisitLinks(visit);
  visit(light_.Get());
  visit(shadowMap_.Get());
  for (int32_t i = 0; i < casters_.Count(); ++i) visit(casters_[i].Get());
}

Object* ShadowmapEffect::FindByName(const String& name) {
  if (Object* found = SceneNodeEffect::FindByName(name)) return found;
  for (Texture* texture : {shadowMap_.Get(), colorTarget_.Get()}) {
    if (texture == nullptr) continue;
    if (Object* found = texture->FindByName(name)) return found;
  }
  return nullptr;
}

void ShadowmapEffect::CollectByType(const RTTI& type, Array<Object*>& found) {
  SceneNodeEffect::CollectByType(type, found);
  if (shadowMap_) shadowMap_->CollectByType(type, found);
  if (colorTarget_) colorTarget_->CollectByType(type, found);
}

}  // namespace klx
