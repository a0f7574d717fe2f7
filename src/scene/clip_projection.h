#pragma once
// Views for drawing into the water's maps: the reflection about a level
// plane, planes carried into view space, and a projection whose near plane
// is a given plane (an oblique near plane), so everything on the far side of
// the water's surface is clipped without user clip planes.
//
// Planes are (a, b, c, d): a point p is kept when a x + b y + c z + d >= 0.
// Matrices are in row-vector form (p * M), as everywhere in the engine.

#include "core/math_types.h"

namespace klx {

// The reflection about the plane y = height: y -> 2 height - y.
Matrix4 MirrorAboutHeight(float height);

// The plane, given in the space `view` maps from, in the space it maps to.
// The identity plane (0, 0, 0, 0) when the view cannot be inverted.
Vector4 PlaneToView(const Matrix4& view, const Vector4& plane);

// `projection` with its near plane replaced by the view-space plane
// `viewPlane` and its far plane tilted to meet it at the far corner of the
// view, with Direct3D's clip depth (0 at the near plane, w at the far).
// False, leaving `out` unchanged, when the eye is on the kept side of the
// plane or the plane misses the view: an oblique near plane would then cut
// through what the camera sees.
bool WithObliqueNearPlane(const Matrix4& projection, const Vector4& viewPlane, Matrix4* out);

}  // namespace klx
