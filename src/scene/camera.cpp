#include "scene/camera.h"

#include <cmath>

#include "core/log.h"
#include "core/memory_stream.h"

namespace klx {

KLX_IMPLEMENT_CLASS(Camera, Node)
KLX_IMPLEMENT_CLASS(FPCamera, Camera)

namespace {

Vector3 Row(const Matrix4& m, int row) { return {m.m[row][0], m.m[row][1], m.m[row][2]}; }

// A corner of the clip box through the inverse view-projection, divided by w.
Vector3 Unproject(const Matrix4& inverse, float x, float y, float z) {
  const Vector4 p = inverse.Transform(Vector4{x, y, z, 1.0f});
  const float w = p.w != 0.0f ? p.w : 1.0f;
  return {p.x / w, p.y / w, p.z / w};
}

Vector4 PlaneThrough(const Vector3& a, const Vector3& b, const Vector3& c) {
  const Vector3 normal = (b - a).Cross(c - a).Normalized();
  return {normal.x, normal.y, normal.z, normal.Dot(a)};
}

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
  Matrix4 inverse;
  if (!viewProjection_.Inverse(&inverse)) {
    // A lens that cannot be inverted: the identity keeps culling defined,
    // though the planes then mean nothing.
    inverse = Matrix4::Identity();
  }
  const Vector3 c[8] = {
      Unproject(inverse, -1, -1, 0), Unproject(inverse, 1, -1, 0), Unproject(inverse, 1, 1, 0),
      Unproject(inverse, -1, 1, 0),  Unproject(inverse, -1, -1, 1), Unproject(inverse, 1, -1, 1),
      Unproject(inverse, 1, 1, 1),   Unproject(inverse, -1, 1, 1),
  };
  frustumPlanes_[kNear] = PlaneThrough(c[0], c[1], c[2]);
  frustumPlanes_[kFar] = PlaneThrough(c[6], c[4], c[7]);
  frustumPlanes_[kLeft] = PlaneThrough(c[0], c[3], c[7]);
  frustumPlanes_[kRight] = PlaneThrough(c[2], c[1], c[6]);
  frustumPlanes_[kTop] = PlaneThrough(c[3], c[2], c[6]);
  frustumPlanes_[kBottom] = PlaneThrough(c[1], c[0], c[5]);
  // A mirrored view turns the corners' winding round, and with it every
  // normal: the planes then face out, and are turned back so the inside of
  // the box stays on their positive side.
  const Vector3 inside = Unproject(inverse, 0, 0, 0.5f);
  const Vector4& near = frustumPlanes_[kNear];
  if (Vector3{near.x, near.y, near.z}.Dot(inside) - near.w < 0.0f) {
    for (Vector4& plane : frustumPlanes_) plane = {-plane.x, -plane.y, -plane.z, -plane.w};
  }
  for (int i = 0; i < kPlaneCount; ++i) {
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
