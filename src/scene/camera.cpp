#include "scene/camera.h"

#include <cmath>

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_CLASS(Camera, Node)
KLX_IMPLEMENT_CLASS(FPCamera, Camera)

namespace {

Vector3 Row(const Matrix4& m, int row) { return {m.m[row][0], m.m[row][1], m.m[row][2]}; }

}  // namespace

Camera::Camera(const String& name) : Node(name) { UpdateMatrices(); }

void Camera::Update(double elapsed) {
  Node::Update(elapsed);
  UpdateMatrices();
}

void Camera::SetAspect(float aspect) {
  if (!(aspect > 0.0f) || !std::isfinite(aspect) || aspect == aspect_) return;
  aspect_ = aspect;
  UpdateMatrices();
}

void Camera::SetMatrices(const Matrix4& view, const Matrix4& projection) {
  fixedMatrices_ = true;
  view_ = view;
  projection_ = projection;
  UpdateMatrices();
}

void Camera::ReleaseMatrices() {
  fixedMatrices_ = false;
  UpdateMatrices();
}

void Camera::UpdateMatrices() {
  if (!fixedMatrices_) {
    BuildProjection();
    BuildView();
  }
  viewProjection_ = view_ * projection_;
  BuildFrustumPlanes();
}

void Camera::BuildProjection() {
  projection_ = Matrix4::Identity();
  const float c = 1.0f / std::tan(fieldOfView_ * 0.5f);
  projection_.m[0][0] = c / aspect_;
  projection_.m[1][1] = c;
  projection_.m[2][2] = farPlane_ / (farPlane_ - nearPlane_);
  projection_.m[2][3] = 1.0f;
  projection_.m[3][2] = -projection_.m[2][2] * nearPlane_;
  // m33 stays 1: a projected point's w is its view depth + 1.
}

void Camera::BuildView() {
  const Vector3 r = GetRight(), u = GetUp(), f = GetDirection(), p = GetPosition();
  view_ = Matrix4::Identity();
  view_.m[0][0] = r.x;
  view_.m[0][1] = u.x;
  view_.m[0][2] = f.x;
  view_.m[1][0] = r.y;
  view_.m[1][1] = u.y;
  view_.m[1][2] = f.y;
  view_.m[2][0] = r.z;
  view_.m[2][1] = u.z;
  view_.m[2][2] = f.z;
  view_.m[3][0] = -p.Dot(r);
  view_.m[3][1] = -p.Dot(u);
  view_.m[3][2] = -p.Dot(f);
}

void Camera::BuildFrustumPlanes() {
  // Each side of the clip box is a plane of the view-projection's columns
  // (p * M = clip): -w <= x <= w, -w <= y <= w, 0 <= z <= w. Read off the
  // matrix they face inwards for any lens, an oblique near plane and a
  // mirrored view included.
  const Matrix4& m = viewProjection_;
  auto column = [&](int c) { return Vector4{m.m[0][c], m.m[1][c], m.m[2][c], m.m[3][c]}; };
  const Vector4 x = column(0), y = column(1), z = column(2), w = column(3);
  auto add = [](const Vector4& a, const Vector4& b, float sign) {
    return Vector4{a.x + sign * b.x, a.y + sign * b.y, a.z + sign * b.z, a.w + sign * b.w};
  };
  const Vector4 sides[kPlaneCount] = {z, add(w, z, -1.0f), add(w, x, 1.0f), add(w, x, -1.0f), add(w, y, -1.0f),
                                      add(w, y, 1.0f)};
  for (int i = 0; i < kPlaneCount; ++i) {
    const Vector3 normal{sides[i].x, sides[i].y, sides[i].z};
    const float length = std::sqrt(normal.Dot(normal));
    // A degenerate side keeps everything (a plane far behind every point).
    const float scale = length > 0.0f ? 1.0f / length : 0.0f;
    frustumPlanes_[i] = scale > 0.0f ? Vector4{normal.x * scale, normal.y * scale, normal.z * scale, -sides[i].w * scale}
                                     : Vector4{0, 0, 0, -3.4e38f};
    const Vector4& plane = frustumPlanes_[i];
    frustum_.planes[i] = Plane{{plane.x, plane.y, plane.z}, plane.w};
  }
}

Vector3 Camera::GetPosition() const { return worldTransform_.translation; }
Vector3 Camera::GetRight() const { return Row(Matrix4::Rotation(worldTransform_.rotation), 0); }
Vector3 Camera::GetUp() const { return Row(Matrix4::Rotation(worldTransform_.rotation), 1); }
Vector3 Camera::GetDirection() const { return Row(Matrix4::Rotation(worldTransform_.rotation), 2); }

int Camera::Save(MemoryStream& stream) {
  if (Node::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  stream.WriteFloat(fieldOfView_);
  stream.WriteFloat(nearPlane_);
  if (stream.WriteFloat(farPlane_) != kOk || stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные камеры. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int Camera::Load(MemoryStream& stream) {
  if (Node::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  const bool ok = stream.ReadFloat(fieldOfView_) == kOk && stream.ReadFloat(nearPlane_) == kOk &&
                  stream.ReadFloat(farPlane_) == kOk;
  if (!ok) {
    LogError(KLX_TEXT("Невозможно загрузить данные камеры. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  UpdateMatrices();
  return kOk;
}

int FPCamera::Save(MemoryStream& stream) {
  if (Camera::Save(stream) != kOk) return kFailed;
  stream.WriteFloat(first);
  stream.WriteFloat(second);
  if (stream.WriteBool(flag) != kOk || stream.GetError() != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные камеры. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int FPCamera::Load(MemoryStream& stream) {
  if (Camera::Load(stream) != kOk) return kFailed;
  const bool ok = stream.ReadFloat(first) == kOk && stream.ReadFloat(second) == kOk && stream.ReadBool(flag) == kOk;
  if (!ok) {
    LogError(KLX_TEXT("Невозможно загрузить данные камеры. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
