#pragma once
// What the draw traversal needs from the renderer: the active camera's
// culling planes and the flush of queued geometry. The renderer implements
// DrawContext; cameras own a CullingFrustum.

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

class DrawContext {
 public:
  virtual ~DrawContext() = default;
  // The frustum of the active camera, or null when there is none (nothing
  // is culled then).
  virtual CullingFrustum* GetActiveFrustum() = 0;
  // Draws what has been queued so far.
  virtual void FlushQueues() = 0;
};

}  // namespace klx
