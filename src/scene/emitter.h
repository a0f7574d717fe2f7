#pragma once
// Where new particles start and which way they fly. A point emitter sends
// them from its node's position in a cone about the node's +y axis (the
// angle from the axis between a minimum and a maximum); a sphere-volume
// emitter starts them anywhere inside a ball; a triangles emitter starts
// them on the surface of a triangle mesh. Randomness is the engine's
// 15-bit generator, mapped to [0, 1].

#include "core/math_types.h"
#include "core/object.h"
#include "core/ref_counted.h"

namespace klx {

class Node;
class Triangles;

class Emitter : public Object {
  KLX_DECLARE_CLASS(Emitter)

 public:
  explicit Emitter(const String& name) : Object(name) {}

  // The start position and unit direction of a new particle.
  virtual void Emit(Vector3* position, Vector3* direction) = 0;

  // The node the emitter rides on (not stored; set by its particle system
  // or the scene builder); null emits at the origin.
  Node* GetNode() const { return node_; }
  void SetNode(Node* node) { node_ = node; }

 private:
  Node* node_ = nullptr;
};

class PointEmitter : public Emitter {
  KLX_DECLARE_CLASS(PointEmitter)

 public:
  explicit PointEmitter(const String& name) : Emitter(name) {}
  void Emit(Vector3* position, Vector3* direction) override;
  int Save(MemoryStream& stream) override;
  // Clamps the maximum to at least 0 and the minimum, then the minimum into
  // [0, maximum].
  int Load(MemoryStream& stream) override;

  float GetMaximumAngle() const { return maximumAngle_; }
  float GetMinimumAngle() const { return minimumAngle_; }
  void SetAngles(float minimum, float maximum);

 protected:
  // A unit direction in the cone, in the emitter's own frame; the first
  // random number gives the turn about the axis, the second the angle
  // from it.
  Vector3 ConeDirection() const;

 private:
  float maximumAngle_ = 3.14159265f;
  float minimumAngle_ = 0.0f;
};

class SphereVolumeEmitter : public PointEmitter {
  KLX_DECLARE_CLASS(SphereVolumeEmitter)

 public:
  explicit SphereVolumeEmitter(const String& name) : PointEmitter(name) {}
  void Emit(Vector3* position, Vector3* direction) override;
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  float GetRadius() const { return radius_; }
  void SetRadius(float radius) { radius_ = radius; }

 private:
  float radius_ = 10.0f;
};

class TrianglesEmitter : public PointEmitter {
  KLX_DECLARE_CLASS(TrianglesEmitter)

 public:
  explicit TrianglesEmitter(const String& name) : PointEmitter(name) {}
  // A point on a random triangle (corners 3b, 3b+1, 3b+2 of the geometry's
  // positions, b counted from its indices), in world space. A triangle
  // whose corners lie past the positions is not used: the origin then.
  void Emit(Vector3* position, Vector3* direction) override;
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  Triangles* GetGeometry() const { return geometry_.Get(); }
  void SetGeometry(Triangles* geometry);

 private:
  Ref<Triangles> geometry_;
};

// A random number in [0, 1] from the engine's 15-bit generator.
float Random01();
// Uniform in [value - jitter, value + jitter].
float Jittered(float value, float jitter);

}  // namespace klx
