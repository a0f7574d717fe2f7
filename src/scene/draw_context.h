#pragma once
// What drawing the scene needs from whatever draws it: the active camera and
// its culling planes, the viewport, the draw queues, and the draw of the
// current geometry. The renderer implements DrawContext, so the scene layer
// names no renderer type; cameras own a CullingFrustum.

#include <cstdint>

#include "scene/bounding_volume.h"

namespace klx {

// Six planes (inner side positive) and a mask of those still to test: bit
// values 32, 16, 8, 4, 2, 1 belong to planes 0 to 5.
struct CullingFrustum {
  static constexpr uint32_t kAllPlanes = 0x3F;
  Plane planes[6];
  uint32_t mask = kAllPlanes;

  // True when some plane still in the mask has the volume wholly outside.
  // A plane that holds the volume wholly inside leaves the mask, so the
  // volume's descendants skip it.
  bool IsCulled(const BoundingVolume& volume) {
    for (int plane = 0; plane < 6; ++plane) {
      const uint32_t bit = 32u >> plane;
      if ((mask & bit) == 0) continue;
      const int side = volume.WhichSide(planes[plane]);
      if (side < 0) return true;
      if (side > 0) mask &= ~bit;
    }
    return false;
  }
};

class Camera;
class DrawContext;
class Object;

// What the draw queues hold: something that draws itself later.
class Drawable {
 public:
  virtual ~Drawable() = default;
  virtual void DrawQueued(DrawContext* context) = 0;
};

// The operations past the first two have defaults for a context that draws
// nothing (no camera, an empty viewport, queued items dropped).
class DrawContext {
 public:
  virtual ~DrawContext() = default;
  // The frustum of the active camera, or null when there is none (nothing
  // is culled then).
  virtual CullingFrustum* GetActiveFrustum() = 0;
  // Draws what has been queued so far.
  virtual void FlushQueues() = 0;

  // The camera the scene is seen through; null when none is set.
  virtual Camera* GetCamera() const { return nullptr; }
  virtual void SetCamera(Camera* camera) { (void)camera; }
  virtual int32_t GetViewportWidth() const { return 0; }
  virtual int32_t GetViewportHeight() const { return 0; }
  // Blended geometry waits here, drawn largest key (farthest) first.
  virtual void QueueSorted(Drawable* drawable, float key) { (void)drawable, (void)key; }
  // Drawn after the sorted queue, in the order queued.
  virtual void QueueFinal(Drawable* drawable) { (void)drawable; }
  // The geometry whose buffers the next passes bind.
  virtual void SetCurrentGeometry(Object* geometry) { (void)geometry; }
  // Draws the current geometry with the current pass: primitive kind (0
  // points, 1 lines, 2 line strip, 3 triangles), `vertexCount` positions,
  // `indexCount` indices.
  virtual void DrawIndexed(int32_t primitiveKind, int32_t vertexCount, int32_t indexCount) {
    (void)primitiveKind, (void)vertexCount, (void)indexCount;
  }
  // Draws the current pass without indices: `primitiveCount` primitives of
  // the kind from the bound streams.
  virtual void DrawPrimitives(int32_t primitiveKind, int32_t primitiveCount) {
    (void)primitiveKind, (void)primitiveCount;
  }
  // True when points are drawn as textured sprites; particle systems draw
  // camera-facing quads otherwise.
  virtual bool DrawsPointSprites() const { return false; }
  // Switches off the lights that the last pass applied.
  virtual void RemovePassLights() {}
};

}  // namespace klx
