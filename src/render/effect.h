#pragma once
// Effects: how geometry (or a scene node's children) is drawn. An effect
// holds techniques, each a list of passes; the first technique the machine
// can run is chosen once, at the first PassCount, and every draw runs its
// passes in order.

#include <cstdint>

#include "core/array.h"
#include "core/math_types.h"
#include "core/object.h"
#include "render/pass.h"
#include "scene/geometry_effect_interface.h"
#include "scene/scene_node_effect_interface.h"

namespace klx {

class SkinController;

class Effect;

// One way of drawing an effect; concrete techniques decide from the
// renderer's capabilities whether they run, and make their passes on the
// first call.
class Technique {
 public:
  explicit Technique(Effect* effect) : effect_(effect) {}
  virtual ~Technique() = default;
  Technique(const Technique&) = delete;
  Technique& operator=(const Technique&) = delete;

  virtual bool IsSupported() = 0;
  // True when the technique's passes draw a skinned mesh with a skinning
  // vertex shader (only some shader techniques can).
  virtual bool SkinsInShaders() const { return false; }

  int32_t GetPassCount() const { return passes_.Count(); }
  Pass* GetPass(int32_t index) const { return index >= 0 && index < passes_.Count() ? passes_[index].Get() : nullptr; }
  void AddPass(Pass* pass) { passes_.Append(Ref<Pass>(pass)); }

 protected:
  Effect* effect_;
  Array<Ref<Pass>> passes_{2, 2};
};

class Effect : public Object {
  KLX_DECLARE_CLASS(Effect)

 public:
  explicit Effect(const String& name) : Object(name) {}
  ~Effect() override;

  // Runs the controllers; Enable and Disable switch the effect on and off.
  virtual void Update(double time) { UpdateControllers(time); }
  virtual void Enable() { enabled_ = true; }
  virtual void Disable() { enabled_ = false; }
  bool IsEnabled() const { return enabled_; }

  // The current technique's pass count, choosing the technique (the first
  // in the list that runs) on the first call; 0 when none runs.
  int32_t PassCount();
  // Makes pass `index` the renderer's current pass, begins it, and returns
  // the pass's Apply (0 = draw).
  int ApplyPass(int32_t index);
  // Puts a technique (owned) at the front of the list.
  void AddTechnique(Technique* technique);
  Technique* GetCurrentTechnique() const { return current_; }
  int32_t GetTechniqueCount() const { return techniques_.Count(); }
  // Asks every pass of the current technique to be recorded again.
  void InvalidatePasses();

 private:
  Array<Technique*> techniques_{2, 2};
  Technique* current_ = nullptr;
  bool enabled_ = true;
};

// The effect of geometry nodes: material, alpha test, blending, culling,
// fog, wind and the skin controller, stored with the effect; passes copy
// them into their render-state blocks when invalidated.
class GeometryNodeEffect : public Effect, public GeometryEffectInterface {
  KLX_DECLARE_CLASS(GeometryNodeEffect)

 public:
  explicit GeometryNodeEffect(const String& name) : Effect(name) {}

  // What a geometry node asks of its effect.
  bool IsEnabled() const override { return Effect::IsEnabled(); }
  bool IsBlended() const override { return blend; }
  int32_t GetPassCount() override { return PassCount(); }
  int ApplyPass(int32_t pass, DrawContext*) override { return Effect::ApplyPass(pass); }
  using Effect::ApplyPass;
  void UpdateEffect(double elapsed) override { Update(elapsed); }
  void InvalidateEffectPasses() override { InvalidatePasses(); }
  bool GetWind(float* amplitude, float* speed, double* time) const override {
    *amplitude = windAmplitude;
    *speed = windSpeed;
    *time = windTime;
    return true;
  }

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  // The object update, then the wind clock; then the skin controller's
  // path: shader skinning (the controller made inactive) where the vertex
  // shaders reach 2.0 and this effect's technique can skin that mesh, else
  // the controller is taken off the effect and skins on the processor.
  void Update(double time) override;

  void SetFogEnable(bool on);
  void SetWindEnable(bool on);
  // Makes both the old and the new controller active (a controller taken
  // off skins on the processor).
  void SetSkinController(Object* controller);
  Object* GetSkinController() const { return skinController_.Get(); }
  bool GetFogEnable() const { return fogEnable_; }
  // What an effect's skinned text needs of the skin beyond the palette
  // (the lit text: bind-pose normals).
  virtual bool CanSkinInShaders(SkinController& skin) { return (void)skin, true; }
  bool GetWindEnable() const { return windEnable_; }

  bool stageClamps[8] = {};  // wrap flags: true = the stage clamps
  Color diffuse{0.8f, 0.8f, 0.8f, 1}, ambient{0.2f, 0.2f, 0.2f, 1}, specular{0, 0, 0, 1}, emissive{0, 0, 0, 1};
  float specularPower = 1.0f;
  bool alphaTest = false;
  int32_t alphaReference = 1;
  bool blend = false;
  bool cull = true;
  int32_t sourceBlend = 4, destinationBlend = 5;
  Color fogColor{1, 1, 1, 1};
  float fogDensity = 0.001f;
  float fogExponent = 2.0f;
  float windAmplitude = 0.05f;
  float windSpeed = 1.0f;
  // Not stored.
  bool depthEnable = true;
  bool depthWrite = true;
  bool wireframe = false;
  double windTime = 0.0;

 private:
  bool fogEnable_ = false;
  bool windEnable_ = false;
  Ref<Object> skinController_;

 public:
  void VisitLinks(const LinkVisitor& visit) const override {
    Effect::VisitLinks(visit);
    visit(skinController_.Get());
  }
};

// A pass of a geometry-node effect: invalidating it copies the effect's
// parameters into its render-state block.
class GeometryNodeEffectPass : public Pass {
  KLX_DECLARE_CLASS(GeometryNodeEffectPass)

 public:
  GeometryNodeEffectPass(const String& name, GeometryNodeEffect* effect) : Pass(name), effect_(effect) {}
  void Invalidate() override;
  GeometryNodeEffect* GetEffect() const { return effect_; }

 private:
  GeometryNodeEffect* effect_;  // the owner; not counted
};

// An effect attached to a scene node, wrapping the drawing of its children.
class SceneNodeEffect : public Effect, public SceneNodeEffectInterface {
  KLX_DECLARE_CLASS(SceneNodeEffect)

 public:
  explicit SceneNodeEffect(const String& name) : Effect(name) {}
  bool IsEnabled() const override { return Effect::IsEnabled(); }
  int GetPassCount() const override { return const_cast<SceneNodeEffect*>(this)->PassCount(); }
  int ApplyPass(int pass, DrawContext*) override { return Effect::ApplyPass(pass); }
  void UpdateEffect(double elapsed) override { Update(elapsed); }
  void SetEffectOwner(SceneNode* owner) override { owner_ = owner; }
  SceneNode* GetOwner() const { return owner_; }

 private:
  SceneNode* owner_ = nullptr;
};

}  // namespace klx
