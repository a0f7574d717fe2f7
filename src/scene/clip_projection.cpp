#include "scene/clip_projection.h"

namespace klx {

namespace {

float SignOf(float value) { return value > 0.0f ? 1.0f : (value < 0.0f ? -1.0f : 0.0f); }

float Dot4(const Vector4& a, const Vector4& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

}  // namespace

Matrix4 MirrorAboutHeight(float height) {
  Matrix4 mirror = Matrix4::Identity();
  mirror.m[1][1] = -1.0f;
  mirror.m[3][1] = 2.0f * height;
  return mirror;
}

Vector4 PlaneToView(const Matrix4& view, const Vector4& plane) {
  // p_view = p * view, so p * plane = p_view * (view^-1 * plane), the
  // inverse times the plane as a column.
  Matrix4 inverse;
  if (!view.Inverse(&inverse)) return Vector4{0, 0, 0, 0};
  const float in[4] = {plane.x, plane.y, plane.z, plane.w};
  float out[4] = {};
  for (int row = 0; row < 4; ++row) {
    for (int k = 0; k < 4; ++k) out[row] += inverse.m[row][k] * in[k];
  }
  return Vector4{out[0], out[1], out[2], out[3]};
}

bool WithObliqueNearPlane(const Matrix4& projection, const Vector4& viewPlane, Matrix4* out) {
  // The eye (the view's origin) must be cut away, else the new near plane
  // would lie behind it or through the picture.
  if (!(viewPlane.w < 0.0f)) return false;
  Matrix4 inverse;
  if (!projection.Inverse(&inverse)) return false;
  // The far corner of the view box on the plane's kept side, back in view
  // space; the new far plane passes through it.
  const Vector4 corner = inverse.Transform(Vector4{SignOf(viewPlane.x), SignOf(viewPlane.y), 1.0f, 1.0f});
  const float reach = Dot4(viewPlane, corner);
  if (!(reach > 0.0f)) return false;
  // Clip w at that corner is the w of the clip corner, 1.
  const float scale = 1.0f / reach;
  Matrix4 oblique = projection;
  oblique.m[0][2] = viewPlane.x * scale;
  oblique.m[1][2] = viewPlane.y * scale;
  oblique.m[2][2] = viewPlane.z * scale;
  oblique.m[3][2] = viewPlane.w * scale;
  *out = oblique;
  return true;
}

}  // namespace klx
