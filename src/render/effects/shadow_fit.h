#pragma once
// Fitting a directional light's view to what the camera sees, for drawing
// the shadow map. Two fits:
// - orthographic: a box along the light round the camera's view, reaching
//   back towards the light far enough to hold every caster of the region;
// - perspective-warped (the light across the view, not along it): a
//   perspective projection across the light's rays, from a point behind
//   the camera along its view, which gives the near part of the view more
//   of the map. Its near distance grows as 1 / sin of the angle between
//   the light and the view.
// Matrices are row-vector (p * M) with Direct3D's clip depth (0..w).

#include <cstdint>

#include "core/math_types.h"

namespace klx {

class Camera;

struct LightFit {
  Matrix4 view = Matrix4::Identity();
  Matrix4 projection = Matrix4::Identity();
  bool perspective = false;
};

// The eight corners of the camera's view in the world, near ones first,
// from its near plane out to `far`, with the picture's proportions.
void ViewCorners(const Camera& camera, float aspect, float far, Vector3 corners[8]);

// Where shadows are cast and fall: spheres round the casters and round the
// receivers.
struct ShadowRegion {
  Vector3 casterCenter;
  float casterRadius = 0.0f;
  Vector3 receiverCenter;
  float receiverRadius = 0.0f;
};

// Fits the light (shining along the unit `lightDirection`) round what the
// camera sees, out to where the receivers end, and back towards the light
// far enough to hold every caster. The warped fit is used when `warp` is
// set and the cosine between the light and the view direction is at most
// `warpLimit` in size.
LightFit FitLightToView(const Vector3& lightDirection, const Camera& camera, float aspect, const ShadowRegion& region,
                        bool warp, float warpLimit);

// From the light's clip space to the shadow map's texture space, with the
// half-texel offset: rows (0.5, 0, 0, 0), (0, -0.5, 0, 0), (0, 0, 1, 0),
// (0.5 + 0.5 / width, 0.5 + 0.5 / height, 0, 1).
Matrix4 ShadowTextureMatrix(int32_t width, int32_t height);

}  // namespace klx
