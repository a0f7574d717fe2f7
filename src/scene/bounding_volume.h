#pragma once
// World-space bounding volumes. BoundingVolume is the abstract interface;
// SphereBoundingVolume (centre and radius) is its only kind, type code 0.

#include <cstdint>

#include "core/math_types.h"
#include "core/object.h"

namespace klx {

// A plane n·p = distance; points with n·p > distance lie on its positive
// (inner) side.
struct Plane {
  Vector3 normal;
  float distance = 0;
};

// An origin and a unit direction.
struct Ray {
  Vector3 origin;
  Vector3 direction;
};

inline constexpr int32_t kSphereVolumeType = 0;

class BoundingVolume : public Object {
  KLX_DECLARE_CLASS(BoundingVolume)

 public:
  explicit BoundingVolume(const String& name) : Object(name) {}

  // The type code.
  virtual int32_t GetType() const = 0;
  // Fits the volume around `count` points (kInvalidArg for none).
  virtual int GenerateFromVertices(const Vector3* points, int32_t count) = 0;
  // Takes the other volume's shape.
  virtual int CopyFrom(const BoundingVolume* other) = 0;
  // Distances along the ray where it enters and leaves.
  virtual bool IntersectRay(const Ray& ray, float* t0, float* t1) const = 0;
  // Whether the volumes overlap (touching counts).
  virtual bool Intersects(const BoundingVolume* other) const = 0;
  // Grows to enclose the other volume.
  virtual int Merge(const BoundingVolume* other) = 0;
  // Writes this volume, transformed, into `target`.
  virtual int TransformInto(BoundingVolume* target, const Transform& transform) const = 0;
  // -1 wholly on the negative side, +1 wholly on the positive side,
  // 0 straddling.
  virtual int WhichSide(const Plane& plane) const = 0;
  // The volume's centre.
  virtual Vector3 GetCenter() const = 0;

  // A new volume for a type code: every code gives a sphere.
  static BoundingVolume* Create(int32_t type);
};

class SphereBoundingVolume : public BoundingVolume {
  KLX_DECLARE_CLASS(SphereBoundingVolume)

 public:
  explicit SphereBoundingVolume(const String& name = String()) : BoundingVolume(name) {}

  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  int32_t GetType() const override { return kSphereVolumeType; }
  // Centre of the points' box, radius to the farthest point (not the
  // smallest enclosing sphere).
  int GenerateFromVertices(const Vector3* points, int32_t count) override;
  int CopyFrom(const BoundingVolume* other) override;
  bool IntersectRay(const Ray& ray, float* t0, float* t1) const override;
  bool Intersects(const BoundingVolume* other) const override;
  int Merge(const BoundingVolume* other) override;
  // Only the transform's x scale enters the radius.
  int TransformInto(BoundingVolume* target, const Transform& transform) const override;
  int WhichSide(const Plane& plane) const override;
  Vector3 GetCenter() const override { return center_; }

  float GetRadius() const { return radius_; }
  void Set(const Vector3& center, float radius) {
    center_ = center;
    radius_ = radius;
  }

 private:
  Vector3 center_;
  float radius_ = 0;
};

}  // namespace klx
