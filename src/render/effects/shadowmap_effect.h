#pragma once
// Shadows from one directional light over a scene node's subtree. Before
// the scene is drawn, the effect's RenderShadowmapEffectController draws
// the casters (the stored node list) from the light into the shadow map,
// with the light's view fitted to the camera. When the node is drawn, pass
// 0 lets the children draw as usual and pass 1 draws every receiver once
// more with the shadow test, darkening it towards the shadow colour where
// the light does not reach; it then skips, so the children are drawn once.
//
// Receivers are the geometry below the node, found when the shadow
// technique is first chosen: not sprite particle systems, and not geometry
// drawn alpha-tested or blended, whose see-through parts the test cannot
// tell. Without hardware shadow maps or shaders the fallback draws the
// children plainly.

#include <cstdint>

#include "core/array.h"
#include "core/ref_counted.h"
#include "render/effect.h"
#include "render/post_update_controller.h"
#include "scene/geometry_node.h"

namespace klx {

class Camera;
class Light;
class Texture;

class ShadowmapEffect : public SceneNodeEffect {
  KLX_DECLARE_CLASS(ShadowmapEffect)

 public:
  // Makes a 128 x 128 shadow map ("Shadowmap %d") and its colour target,
  // and attaches the controller that draws the map.
  explicit ShadowmapEffect(const String& name);
  ~ShadowmapEffect() override;

  // After the effect's data: the light, the shadow map, the shadow colour,
  // the flags, the depth bias, the slope-scaled bias, the warp limit and
  // the casters.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  Object* FindByName(const String& name) override;
  void CollectByType(const RTTI& type, Array<Object*>& found) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  Light* GetLight() const { return light_.Get(); }
  void SetLight(Light* light) { light_ = light; }
  Texture* GetShadowMap() const { return shadowMap_.Get(); }
  // Also makes a colour target of the same size (drawn into while the
  // depth goes to the map).
  void SetShadowMap(Texture* map);
  Texture* GetColorTarget() const { return colorTarget_.Get(); }

  void AddCaster(Node* node);
  int32_t GetCasterCount() const { return casters_.Count(); }
  Node* GetCaster(int32_t index) const;
  int32_t GetReceiverCount() const { return receivers_.Count(); }
  GeometryNode* GetReceiver(int32_t index) const;

  // Draws the casters into the shadow map from the light fitted to the
  // camera on the renderer; nothing without a light, a map or the shadow
  // technique.
  void RenderShadowMap();
  // True once a map has been drawn with the current fit.
  bool HasShadowMap() const { return mapReady_; }
  // World to the shadow map's texture space (the light's view, projection
  // and the texture-space matrix), and whether the fit was the warped one.
  const Matrix4& GetShadowMatrix() const { return shadowMatrix_; }
  bool WasWarped() const { return warped_; }

  bool SoftShadows() const { return (flags & kSoft) != 0; }
  bool Warps() const { return (flags & kWarp) != 0; }

  static constexpr uint8_t kWarp = 1;  // the perspective-warped fit where it suits
  static constexpr uint8_t kSoft = 2;  // five samples (ps 2.0)

  Color shadowColor{0, 0, 0, 0.5f};
  uint8_t flags = kSoft;
  // In units of the depth buffer's last bit; the slope bias scales with
  // the surface's slope in the map.
  float depthBias = 0.0f;
  float slopeBias = 3.0f;
  // The warped fit is used while |cos| of the angle between the light and
  // the view is at most this.
  float warpLimit = 0.95f;

  // Builds the receiver list (by the shadow technique; public for tests).
  void CollectReceivers();

 private:
  Ref<Light> light_;
  Ref<Texture> shadowMap_;
  Ref<Texture> colorTarget_;
  Array<Ref<Node>> casters_{4, 4};
  Array<Ref<GeometryNode>> receivers_{16, 16};
  Ref<Camera> lightCamera_;
  Matrix4 shadowMatrix_ = Matrix4::Identity();
  bool mapReady_ = false;
  bool warped_ = false;
};

// Takes every ShadowmapEffect below `root` off the node that holds it (the
// node then draws its children plainly); how many came off.
int32_t RemoveShadowmapEffects(Object& root);

// Draws its owner ShadowmapEffect's map once a frame, before the scene.
class RenderShadowmapEffectController : public PostUpdateController {
  KLX_DECLARE_CLASS(RenderShadowmapEffectController)

 public:
  explicit RenderShadowmapEffectController(const String& name) : PostUpdateController(name) {}
  void PostUpdate() override;
};

}  // namespace klx
