#include "animation/camera_activate_animation_controller.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "scene/camera.h"
#include "scene/screen_context.h"

namespace klx {

KLX_IMPLEMENT_CLASS(CameraActivateAnimationController, AnimationController)

AnimationController* CameraActivateAnimationController::GetDriven(int32_t index) const {
  return index >= 0 && index < GetDrivenCount() ? driven_[static_cast<size_t>(index)].Get() : nullptr;
}

bool CameraActivateAnimationController::TrackValue() const {
  bool on = true;
  for (const BlendStage& stage : stages_) {
    if (!stage.animation || stage.animation->GetKeyframeCount() == 0) continue;
    // Only on/off keyframes carry a value; a stage of another kind is
    // passed over.
    if (const auto* keyframe = dynamic_cast<const BoolKeyframe*>(stage.animation->GetKeyframe(stage.key))) {
      on = keyframe->value;
    }
  }
  return on;
}

void CameraActivateAnimationController::Update(double) {
  if (!IsActive() || !cameraAnimation_) return;
  Object* owner = GetOwner();
  if (DynamicCast<Camera>(owner) == nullptr) return;
  if (GetScreenCamera() == owner) {
    cameraAnimation_->SetActive(true);
    if (targetAnimation_) targetAnimation_->SetActive(true);
    // The track follows the camera's own animation.
    SetPhase(cameraAnimation_->GetPhase());
    AnimationController::Update(0.0);
    const bool on = TrackValue();
    for (const Ref<AnimationController>& controller : driven_) controller->SetActive(on);
    return;
  }
  const bool wasOnScreen = cameraAnimation_->IsActive();
  cameraAnimation_->SetActive(false);
  cameraAnimation_->Reset();
  if (targetAnimation_) {
    targetAnimation_->SetActive(false);
    targetAnimation_->Reset();
  }
  if (!wasOnScreen) return;
  // The camera has just left the screen: each driven node back to where
  // its track starts, and still.
  for (const Ref<AnimationController>& controller : driven_) {
    controller->SetActive(true);
    controller->SetPhase(0.0);
    controller->Update(0.0);
    controller->SetActive(false);
  }
}

void CameraActivateAnimationController::VisitLinks(const LinkVisitor& visit) const {
  AnimationController::VisitLinks(visit);
  visit(cameraAnimation_.Get());
  visit(targetAnimation_.Get());
  for (const Ref<AnimationController>& controller : driven_) visit(controller.Get());
}

int CameraActivateAnimationController::Save(MemoryStream& stream) {
  if (AnimationController::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  auto fail = [this](const char* message) {
    LogError(message, GetName().CStr(), GetID());
    return kFailed;
  };
  if (stream.WriteObject(cameraAnimation_.Get()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить контроллер анимации камеры. Имя[%s] ID[%d]"));
  }
  if (stream.WriteObject(targetAnimation_.Get()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить контроллер анимации цели камеры. Имя[%s] ID[%d]"));
  }
  if (stream.WriteInt32(GetDrivenCount()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить количество дочерних узлов. Имя[%s] ID[%d]"));
  }
  for (const Ref<AnimationController>& controller : driven_) {
    if (stream.WriteObject(controller.Get()) != kOk) {
      return fail(KLX_TEXT("Невозможно сохранить ссылку на контроллер анимации. Имя[%s] ID[%d]"));
    }
  }
  return kOk;
}

bool CameraActivateAnimationController::LoadControllerLink(MemoryStream& stream, Ref<AnimationController>& out) {
  AnimationController* controller = nullptr;
  // A controller that holds this one would close a loop of counted
  // references: refused like a damaged link.
  if (stream.ReadObjectOf(controller) != kOk ||
      (controller != nullptr && (controller == this || controller->Reaches(this)))) {
    return false;
  }
  out = controller;
  return true;
}

int CameraActivateAnimationController::Load(MemoryStream& stream) {
  if (AnimationController::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  auto fail = [this](const char* message) {
    LogError(message, GetID(), GetName().CStr());
    return kFailed;
  };
  if (!LoadControllerLink(stream, cameraAnimation_)) {
    return fail(KLX_TEXT("Невозможно загрузить контроллер анимации камеры. ID[%d] Имя[%s]"));
  }
  if (!LoadControllerLink(stream, targetAnimation_)) {
    return fail(KLX_TEXT("Невозможно загрузить контроллер анимации цели камеры. ID[%d] Имя[%s]"));
  }
  int32_t count = 0;
  // A link takes 4 bytes at least: a count the rest cannot hold is refused
  // before anything is allocated.
  if (stream.ReadInt32(count) != kOk || count < 0 || count > (stream.GetSize() - stream.GetPosition()) / 4) {
    return fail(KLX_TEXT("Невозможно загрузить количество контроллеров анимации. ID[%d] Имя[%s]"));
  }
  driven_.clear();
  driven_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Ref<AnimationController> controller;
    if (!LoadControllerLink(stream, controller)) {
      driven_.clear();
      return fail(KLX_TEXT("Невозможно загрузить контроллер анимации. ID[%d] Имя[%s]"));
    }
    if (controller) driven_.push_back(controller);
  }
  return kOk;
}

}  // namespace klx
