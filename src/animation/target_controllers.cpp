#include "animation/target_controllers.h"

#include <cmath>

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/node.h"

namespace klx {

KLX_IMPLEMENT_CLASS(TargetCameraController, Controller)
KLX_IMPLEMENT_CLASS(TargetLightController, Controller)

namespace {

// Below this a direction or a sideways axis is taken as none.
constexpr float kDegenerate = 1e-12f;

}  // namespace

void SetDirection(Node& node, const Vector3& direction) {
  const Vector3 up{0.0f, 1.0f, 0.0f};
  const Vector3 side = up.Cross(direction);
  const float length = std::sqrt(direction.Dot(direction));
  const float sideLength = std::sqrt(side.Dot(side));
  if (!(length > kDegenerate) || !(sideLength > kDegenerate * length) || !std::isfinite(length)) return;
  const Vector3 forward = direction * (1.0f / length);
  const Vector3 right = side * (1.0f / sideLength);
  const Vector3 trueUp = forward.Cross(right).Normalized();
  Transform& local = node.LocalTransform();
  local.rotation = Quaternion::FromRows(right, trueUp, forward);
  local.isIdentity = false;
  local.rotationIsIdentity = false;
}

// ---------------------------------------------------------------------------
// The shared part

void TargetController::Aim(Node& owner) {
  owner.SetWorldTransformUpdate(true);
  owner.UpdateWorldTransform();
  owner.SetWorldTransformUpdate(false);
  SetDirection(owner, target_->GetWorldTransform().translation - owner.GetWorldTransform().translation);
  Transform& world = owner.WorldTransform();
  world.rotation = owner.GetLocalTransform().rotation;
  world.isIdentity = false;
  world.rotationIsIdentity = false;
}

void TargetController::VisitLinks(const LinkVisitor& visit) const {
  Controller::VisitLinks(visit);
  visit(target_.Get());
}

int TargetController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObject(target_.Get()) != kOk) {
    LogError(SaveMessage(), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int TargetController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  Node* target = nullptr;
  // A target that runs this controller would hold it in a loop of counted
  // references: refused like a damaged link.
  if (stream.ReadObjectOf(target) != kOk || (target != nullptr && target->Reaches(this))) {
    LogError(LoadMessage(), GetID(), GetName().CStr());
    return kFailed;
  }
  target_ = target;
  return kOk;
}

// ---------------------------------------------------------------------------
// Camera and light

void TargetCameraController::Update(double) {
  auto* camera = DynamicCast<Camera>(GetOwner());
  if (IsActive() && camera != nullptr && GetTarget() != nullptr) Aim(*camera);
}

const char* TargetCameraController::SaveMessage() const {
  return KLX_TEXT("Невозможно сохранить цель камеры. Имя[%s] ID[%d]");
}

const char* TargetCameraController::LoadMessage() const {
  return KLX_TEXT("Невозможно загрузить цель камеры. ID[%d] Имя[%s]");
}

void TargetLightController::Update(double) {
  auto* light = DynamicCast<Light>(GetOwner());
  if (IsActive() && light != nullptr && GetTarget() != nullptr) Aim(*light);
}

const char* TargetLightController::SaveMessage() const {
  return KLX_TEXT("Невозможно сохранить цель источника света. Имя[%s] ID[%d]");
}

const char* TargetLightController::LoadMessage() const {
  return KLX_TEXT("Невозможно загрузить цель источника света. ID[%d] Имя[%s]");
}

}  // namespace klx
