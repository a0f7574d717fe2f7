#pragma once
// The water's screen-space maps: once a frame, before the scene is drawn,
// each controller draws its list of nodes into its owner texture, seen by
// the camera on the screen. The reflection mirrors the camera about the
// water's surface and keeps what lies above it; the refraction keeps what
// lies below, seen straight. Either way the surface is the near plane of
// the projection (an oblique near plane), 0.8 below it for the reflection
// and 0.8 above it for the refraction, so the shore meets the water without
// a seam when the ripples bend the look-ups.
//
// The water effect tells the controllers the height of the surface each
// time it is drawn on the screen; a frame in which the water was not drawn
// draws no maps.

#include <cstdint>

#include "core/array.h"
#include "core/math_types.h"
#include "core/ref_counted.h"
#include "render/post_update_controller.h"

namespace klx {

class Node;

// The shared part: the node list (stored after the controller's data) and
// the drawing. Not a stored class of its own.
class ScreenspaceTextureController : public PostUpdateController {
 public:
  explicit ScreenspaceTextureController(const String& name) : PostUpdateController(name) {}

  int Save(MemoryStream& stream) override;
  // Refuses a listed node whose own load is still under way or that holds
  // this controller through its links: either would close a loop.
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;
  // Draws the list into the owner texture when the water was drawn since
  // the last time.
  void PostUpdate() override;

  void AddNode(Node* node);
  void ClearNodes() { nodes_.Clear(); }
  int32_t GetNodeCount() const { return nodes_.Count(); }
  Node* GetNode(int32_t index) const;

  // The height of the water's surface, from the water effect.
  void SetWaterHeight(float height);
  bool IsWaterSeen() const { return seen_; }
  float GetWaterHeight() const { return height_; }

  // How far past the surface the kept side reaches.
  static constexpr float kMargin = 0.8f;

 protected:
  // True for the reflection: the camera is mirrored and the winding of
  // what is drawn turns round.
  virtual bool Mirrors() const = 0;
  // The world plane whose positive side is kept.
  virtual Vector4 KeptSide(float height) const = 0;

 private:
  void DrawMap();

  Array<Ref<Node>> nodes_{4, 4};
  float height_ = 0.0f;
  bool seen_ = false;
};

class RenderScreenspaceReflectTextureController : public ScreenspaceTextureController {
  KLX_DECLARE_CLASS(RenderScreenspaceReflectTextureController)

 public:
  explicit RenderScreenspaceReflectTextureController(const String& name) : ScreenspaceTextureController(name) {}

 protected:
  bool Mirrors() const override { return true; }
  // Above the surface, less the margin: y >= h - 0.8.
  Vector4 KeptSide(float height) const override { return Vector4{0, 1, 0, kMargin - height}; }
};

class RenderScreenspaceRefractTextureController : public ScreenspaceTextureController {
  KLX_DECLARE_CLASS(RenderScreenspaceRefractTextureController)

 public:
  explicit RenderScreenspaceRefractTextureController(const String& name) : ScreenspaceTextureController(name) {}

 protected:
  bool Mirrors() const override { return false; }
  // Below the surface and the margin: y <= h + 0.8.
  Vector4 KeptSide(float height) const override { return Vector4{0, -1, 0, height + kMargin}; }
};

}  // namespace klx
