#include "scene/bounding_volume.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "scene/point_bounds.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(BoundingVolume, Object)
KLX_IMPLEMENT_CLASS(SphereBoundingVolume, BoundingVolume)

BoundingVolume* BoundingVolume::Create(int32_t) { return new (std::nothrow) SphereBoundingVolume(); }

int SphereBoundingVolume::Save(MemoryStream& stream) {
  if (Object::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  stream.WriteVector3(center_);
  if (stream.WriteFloat(radius_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные окружающего объёма. Имя[%s] ID[%d]"), GetName().CStr(),
             GetID());
    return kFailed;
  }
  return kOk;
}

int SphereBoundingVolume::Load(MemoryStream& stream) {
  if (Object::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (stream.ReadVector3(center_) != kOk || stream.ReadFloat(radius_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные окружающего объёма. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  return kOk;
}

int SphereBoundingVolume::GenerateFromVertices(const Vector3* points, int32_t count) {
  if (points == nullptr) {
    LogError(KLX_TEXT("Указатель на вершины равен 0 при генерации. Имя[%s] ID[%d]."), GetName().CStr(), GetID());
    return kInvalidArg;
  }
  if (count <= 0) {
    LogError(KLX_TEXT("Нет вершин в буффере при генерации объёма. Имя[%s] ID[%d]."), GetName().CStr(), GetID());
    return kInvalidArg;
  }
  Vector3 low;
  Vector3 high;
  PointBounds(points, count, &low, &high);
  center_ = (low + high) * 0.5f;
  float largest = 0;
  for (int32_t i = 0; i < count; ++i) {
    const Vector3 d = points[i] - center_;
    largest = std::max(largest, d.Dot(d));
  }
  radius_ = std::sqrt(largest);
  return kOk;
}

int SphereBoundingVolume::CopyFrom(const BoundingVolume* other) {
  if (other == nullptr) {
    LogError(KLX_TEXT("Указатель на объём равен 0 при генерации. Имя[%s] ID[%d]."), GetName().CStr(), GetID());
    return kInvalidArg;
  }
  const auto* sphere = static_cast<const SphereBoundingVolume*>(other);
  center_ = sphere->center_;
  radius_ = sphere->radius_;
  return kOk;
}

bool SphereBoundingVolume::IntersectRay(const Ray& ray, float* t0, float* t1) const {
  const Vector3 d = ray.origin - center_;
  const float b = d.Dot(ray.direction);
  const float discriminant = b * b - (d.Dot(d) - radius_ * radius_);
  if (discriminant < 0) return false;
  const float root = std::sqrt(discriminant);
  if (t0 != nullptr) *t0 = root - b;
  if (t1 != nullptr) *t1 = -b - root;
  return true;
}

bool SphereBoundingVolume::Intersects(const BoundingVolume* other) const {
  if (other == nullptr) return false;
  const auto* sphere = static_cast<const SphereBoundingVolume*>(other);
  const Vector3 d = sphere->center_ - center_;
  const float reach = radius_ + sphere->radius_;
  return reach * reach >= d.Dot(d);
}

int SphereBoundingVolume::Merge(const BoundingVolume* other) {
  if (other == nullptr) {
    LogError(KLX_TEXT("Указатель на объём равен 0 при слиянии. Имя[%s] ID[%d]."), GetName().CStr(), GetID());
    return kInvalidArg;
  }
  const auto* sphere = static_cast<const SphereBoundingVolume*>(other);
  const float dr = sphere->radius_ - radius_;
  const Vector3 d = sphere->center_ - center_;
  const float distanceSquared = d.Dot(d);
  if (dr * dr >= distanceSquared) {
    // One sphere holds the other.
    if (dr > 0) {
      center_ = sphere->center_;
      radius_ = sphere->radius_;
    }
    return kOk;
  }
  const float distance = std::sqrt(distanceSquared);
  center_ = center_ + d * ((dr + distance) / (2 * distance));
  radius_ = (distance + radius_ + sphere->radius_) * 0.5f;
  return kOk;
}

int SphereBoundingVolume::TransformInto(BoundingVolume* target, const Transform& transform) const {
  if (target == nullptr) {
    LogError(KLX_TEXT("Указатель на объём равен 0 при трансформации. Имя[%s] ID[%d]."), GetName().CStr(),
             GetID());
    return kInvalidArg;
  }
  // Every volume is a sphere: write the result straight into the target.
  auto* sphere = static_cast<SphereBoundingVolume*>(target);
  sphere->Set(TransformPoint(transform, center_), TransformVector(transform, Vector3{radius_, 0, 0}).Length());
  return kOk;
}

int SphereBoundingVolume::WhichSide(const Plane& plane) const {
  const float s = plane.normal.Dot(center_) - plane.distance;
  if (s <= -radius_) return -1;
  if (s >= radius_) return 1;
  return 0;
}

}  // namespace klx
