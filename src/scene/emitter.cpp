#include "scene/emitter.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/random15.h"
#include "core/result.h"
#include "scene/geometry_node.h"
#include "scene/node.h"
#include "scene/transform.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(Emitter, Object)
KLX_IMPLEMENT_CLASS(PointEmitter, Emitter)
KLX_IMPLEMENT_CLASS(SphereVolumeEmitter, PointEmitter)
KLX_IMPLEMENT_CLASS(TrianglesEmitter, PointEmitter)

namespace {

constexpr float kTwoPi = 6.2831853f;

const char* const kSaveMessage = KLX_TEXT("Невозможно сохранить данные системы частиц. Имя[%s] ID[%d]");
const char* const kLoadMessage = KLX_TEXT("Невозможно загрузить данные системы частиц. Имя[%s] ID[%d]");

Vector3 Normalized(const Vector3& v) {
  const float length = std::sqrt(v.Dot(v));
  return length > 0.0f ? v * (1.0f / length) : Vector3{0, 1, 0};
}

}  // namespace

float Random01() { return static_cast<float>(Random15()) / static_cast<float>(kRandom15Max); }

float Jittered(float value, float jitter) { return value + jitter * (2.0f * Random01() - 1.0f); }

// ---------------------------------------------------------------------------
// Point

void PointEmitter::SetAngles(float minimum, float maximum) {
  maximumAngle_ = std::max({maximum, 0.0f, minimum});
  minimumAngle_ = std::clamp(minimum, 0.0f, maximumAngle_);
}

Vector3 PointEmitter::ConeDirection() const {
  const float u = Random01();
  const float v = Random01();
  const float theta = minimumAngle_ + v * (maximumAngle_ - minimumAngle_);
  const float phi = u * kTwoPi;
  return Vector3{std::sin(theta) * std::sin(phi), std::cos(theta), std::sin(theta) * std::cos(phi)};
}

void PointEmitter::Emit(Vector3* position, Vector3* direction) {
  Vector3 d = ConeDirection();
  *position = Vector3{0, 0, 0};
  if (const Node* node = GetNode()) {
    const Transform& world = node->GetWorldTransform();
    *position = world.translation;
    d = world.rotation.Rotate(d);
  }
  *direction = Normalized(d);
}

int PointEmitter::Save(MemoryStream& stream) {
  if (Emitter::Save(stream) != kOk || stream.WriteFloat(maximumAngle_) != kOk ||
      stream.WriteFloat(minimumAngle_) != kOk) {
    LogError(kSaveMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int PointEmitter::Load(MemoryStream& stream) {
  float maximum = 0.0f, minimum = 0.0f;
  if (Emitter::Load(stream) != kOk || stream.ReadFloat(maximum) != kOk || stream.ReadFloat(minimum) != kOk) {
    LogError(kLoadMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  // Angles that are not numbers become the defaults' bounds.
  if (!std::isfinite(maximum)) maximum = 3.14159265f;
  if (!std::isfinite(minimum)) minimum = 0.0f;
  SetAngles(minimum, maximum);
  return kOk;
}

// ---------------------------------------------------------------------------
// Sphere volume

void SphereVolumeEmitter::Emit(Vector3* position, Vector3* direction) {
  Vector3 d = ConeDirection();
  const float alpha = Random01() * kTwoPi;
  const float beta = Random01() * kTwoPi;
  const Vector3 towards =
      Normalized(Vector3{std::sin(alpha) * std::cos(beta), std::sin(alpha) * std::sin(beta), std::cos(alpha)});
  const Vector3 offset = towards * (static_cast<float>(Random15() % 10000) * GetRadius() * 0.0001f);
  *position = offset;
  if (const Node* node = GetNode()) {
    const Transform& world = node->GetWorldTransform();
    *position = TransformPoint(world, offset);
    d = world.rotation.Rotate(d);
  }
  *direction = Normalized(d);
}

int SphereVolumeEmitter::Save(MemoryStream& stream) {
  if (PointEmitter::Save(stream) != kOk) return kFailed;
  if (stream.WriteFloat(radius_) != kOk) {
    LogError(kSaveMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int SphereVolumeEmitter::Load(MemoryStream& stream) {
  if (PointEmitter::Load(stream) != kOk) return kFailed;
  if (stream.ReadFloat(radius_) != kOk) {
    LogError(kLoadMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  if (!std::isfinite(radius_)) radius_ = 0.0f;
  return kOk;
}

// ---------------------------------------------------------------------------
// Triangles

void TrianglesEmitter::SetGeometry(Triangles* geometry) { geometry_ = geometry; }

void TrianglesEmitter::Emit(Vector3* position, Vector3* direction) {
  *position = Vector3{0, 0, 0};
  *direction = Vector3{0, 1, 0};
  if (!geometry_) return;
  const auto* corners = DynamicCast<Vector3Buffer>(geometry_->GetVertexBuffer());
  const IntBuffer* indices = geometry_->GetIndexBuffer();
  const int32_t triangles = indices != nullptr ? indices->GetCount() / 3 : 0;
  const int32_t b = triangles > 0 ? Random15() % triangles : 0;
  const float r1 = Random01(), r2 = Random01(), r3 = Random01();
  // The corners are read as unshared triangles: a triangle whose corners
  // lie past the positions gives the origin.
  if (corners != nullptr && triangles > 0 && 3 * b + 2 < corners->GetCount()) {
    const Vector3* p = corners->Elements() + 3 * b;
    const Vector3 p1 = p[0] + (p[1] - p[0]) * r1;
    const Vector3 p2 = p[0] + (p[2] - p[0]) * r2;
    *position = TransformPoint(geometry_->GetWorldTransform(), p1 + (p2 - p1) * r3);
  }
  *direction = Normalized(geometry_->GetWorldTransform().rotation.Rotate(ConeDirection()));
}

void TrianglesEmitter::VisitLinks(const LinkVisitor& visit) const {
  PointEmitter::VisitLinks(visit);
  visit(geometry_.Get());
}

int TrianglesEmitter::Save(MemoryStream& stream) {
  if (PointEmitter::Save(stream) != kOk) return kFailed;
  if (stream.WriteObject(geometry_.Get()) != kOk) {
    LogError(kSaveMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int TrianglesEmitter::Load(MemoryStream& stream) {
  if (PointEmitter::Load(stream) != kOk) return kFailed;
  Triangles* geometry = nullptr;
  if (stream.ReadObjectOf(geometry) != kOk || ClosesLoop(this, geometry)) {
    LogError(kLoadMessage, GetName().CStr(), GetID());
    return kFailed;
  }
  geometry_ = geometry;
  return kOk;
}

}  // namespace klx
