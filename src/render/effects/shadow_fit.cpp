#include "render/effects/shadow_fit.h"

#include <algorithm>
#include <cmath>

#include "scene/camera.h"

namespace klx {

namespace {

// A view matrix (world to a basis at `origin`), in the layout cameras use.
Matrix4 BasisView(const Vector3& right, const Vector3& up, const Vector3& forward, const Vector3& origin) {
  Matrix4 view = Matrix4::Identity();
  const Vector3 axes[3] = {right, up, forward};
  for (int axis = 0; axis < 3; ++axis) {
    view.m[0][axis] = axes[axis].x;
    view.m[1][axis] = axes[axis].y;
    view.m[2][axis] = axes[axis].z;
    view.m[3][axis] = -origin.Dot(axes[axis]);
  }
  return view;
}

// A unit vector across `axis`: the world's up made perpendicular to it, or
// x where the axis is nearly vertical.
Vector3 Across(const Vector3& axis) {
  const Vector3 up = std::fabs(axis.y) > 0.99f ? Vector3{1, 0, 0} : Vector3{0, 1, 0};
  return up.Cross(axis).Normalized();
}

// How far the camera's view reaches into the region, at most its far
// plane.
float ReachInto(const Camera& camera, const Vector3& center, float radius) {
  const Vector3 d = center - camera.GetPosition();
  const float reach = std::sqrt(d.Dot(d)) + radius;
  return std::clamp(reach, camera.GetNearPlane() * 2.0f, camera.GetFarPlane());
}

LightFit Orthographic(const Vector3& direction, const Vector3 corners[8], const Vector3& center, float radius) {
  const Vector3 right = Across(direction);
  const Vector3 up = direction.Cross(right);
  const Matrix4 basis = BasisView(right, up, direction, Vector3{0, 0, 0});
  Vector3 low = basis.TransformPoint(corners[0]), high = low;
  for (int i = 1; i < 8; ++i) {
    const Vector3 p = basis.TransformPoint(corners[i]);
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  // Casters between the light and the view may stand anywhere in the
  // region up the light's rays.
  const float regionNear = basis.TransformPoint(center).z - radius;
  low.z = std::min(low.z, regionNear);
  // The eye a little in front of the nearest caster: the near plane at 0.1.
  const Vector3 eye = right * ((low.x + high.x) * 0.5f) + up * ((low.y + high.y) * 0.5f) + direction * (low.z - 0.1f);
  LightFit fit;
  fit.view = BasisView(right, up, direction, eye);
  const float width = std::max(high.x - low.x, 1e-3f), height = std::max(high.y - low.y, 1e-3f);
  const float nearPlane = 0.1f, farPlane = high.z - low.z + 0.2f;
  fit.projection = Matrix4::Identity();
  fit.projection.m[0][0] = 2.0f / width;
  fit.projection.m[1][1] = 2.0f / height;
  fit.projection.m[2][2] = 1.0f / (farPlane - nearPlane);
  fit.projection.m[3][2] = -nearPlane / (farPlane - nearPlane);
  return fit;
}

LightFit Warped(const Vector3& direction, const Camera& camera, const Vector3 corners[8], float reach,
                float sine, const Vector3& center, float radius) {
  // The light's rays run down y; z runs along the view across them.
  const Vector3 up = direction * -1.0f;
  const Vector3 viewDirection = camera.GetDirection();
  const Vector3 along = (viewDirection - up * viewDirection.Dot(up)).Normalized();
  const Vector3 right = up.Cross(along);
  const Matrix4 basis = BasisView(right, up, along, camera.GetPosition());
  Vector3 low = basis.TransformPoint(corners[0]), high = low;
  for (int i = 1; i < 8; ++i) {
    const Vector3 p = basis.TransformPoint(corners[i]);
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  // The projection's centre behind the view's box along z, the further
  // the closer the light comes to the view's direction.
  const float zNear = camera.GetNearPlane();
  const float n = std::max((zNear + std::sqrt(zNear * reach)) / std::max(sine, 1e-3f), 0.1f);
  const float depth = std::max(high.z - low.z, 1e-3f);
  const float f = n + depth;
  const Vector3 eye{(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, low.z - n};
  // In the centre's frame: u = x / z across the map, v = y / z the depth.
  const float regionTop = basis.TransformPoint(center).y + radius - eye.y;
  float uLow = 1e30f, uHigh = -1e30f, vLow = 1e30f, vHigh = -1e30f;
  for (int i = 0; i < 8; ++i) {
    const Vector3 p = basis.TransformPoint(corners[i]) - eye;
    const float z = std::max(p.z, n);
    uLow = std::min(uLow, p.x / z);
    uHigh = std::max(uHigh, p.x / z);
    vLow = std::min(vLow, p.y / z);
    vHigh = std::max(vHigh, p.y / z);
  }
  // Casters above the view up to the region's top.
  vHigh = std::max(vHigh, regionTop / (regionTop > 0.0f ? n : f));
  const float uSpan = std::max(uHigh - uLow, 1e-6f), vSpan = std::max(vHigh - vLow, 1e-6f);
  LightFit fit;
  fit.perspective = true;
  const Vector3 eyeWorld = camera.GetPosition() + right * eye.x + up * eye.y + along * eye.z;
  fit.view = BasisView(right, up, along, eyeWorld);
  Matrix4 p;  // all zero
  p.m[0][0] = 2.0f / uSpan;                    // clip x from u
  p.m[2][0] = -(uHigh + uLow) / uSpan;
  p.m[2][1] = (f + n) / (f - n);               // clip y from the distance along the view
  p.m[3][1] = -2.0f * f * n / (f - n);
  p.m[1][2] = -1.0f / vSpan;                   // depth: 0 nearest the light
  p.m[2][2] = vHigh / vSpan;
  p.m[2][3] = 1.0f;                            // w = the distance along the view
  fit.projection = p;
  return fit;
}

}  // namespace

void ViewCorners(const Camera& camera, float aspect, float far, Vector3 corners[8]) {
  const float cot = 1.0f / std::tan(camera.GetFieldOfView() * 0.5f);
  const float nearPlane = camera.GetNearPlane();
  Matrix4 projection;
  projection.m[0][0] = cot / (aspect > 0.0f ? aspect : 1.0f);
  projection.m[1][1] = cot;
  projection.m[2][2] = far / (far - nearPlane);
  projection.m[2][3] = 1.0f;
  projection.m[3][2] = -projection.m[2][2] * nearPlane;
  Matrix4 inverse;
  if (!(camera.GetView() * projection).Inverse(&inverse)) inverse = Matrix4::Identity();
  int i = 0;
  for (float z : {0.0f, 1.0f}) {
    for (float y : {-1.0f, 1.0f}) {
      for (float x : {-1.0f, 1.0f}) {
        const Vector4 p = inverse.Transform(Vector4{x, y, z, 1.0f});
        const float w = p.w != 0.0f ? p.w : 1.0f;
        corners[i++] = Vector3{p.x / w, p.y / w, p.z / w};
      }
    }
  }
}

LightFit FitLightToView(const Vector3& lightDirection, const Camera& camera, float aspect, const ShadowRegion& region,
                        bool warp, float warpLimit) {
  const Vector3 direction = lightDirection.Normalized();
  const float reach = ReachInto(camera, region.receiverCenter, region.receiverRadius);
  Vector3 corners[8];
  ViewCorners(camera, aspect, reach, corners);
  const float cosine = direction.Dot(camera.GetDirection());
  if (warp && std::fabs(cosine) <= warpLimit) {
    return Warped(direction, camera, corners, reach, std::sqrt(std::max(0.0f, 1.0f - cosine * cosine)),
                  region.casterCenter, region.casterRadius);
  }
  return Orthographic(direction, corners, region.casterCenter, region.casterRadius);
}

Matrix4 ShadowTextureMatrix(int32_t width, int32_t height) {
  Matrix4 m = Matrix4::Identity();
  m.m[0][0] = 0.5f;
  m.m[1][1] = -0.5f;
  m.m[3][0] = 0.5f + 0.5f / static_cast<float>(std::max(width, 1));
  m.m[3][1] = 0.5f + 0.5f / static_cast<float>(std::max(height, 1));
  return m;
}

}  // namespace klx
