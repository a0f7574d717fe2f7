#include "animation/skeleton_animation_controller.h"

#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"

namespace klx {

KLX_IMPLEMENT_CLASS(SkeletonAnimationController, AnimationController)

void SkeletonAnimationController::AddBoneController(AnimationController* controller) {
  if (controller == nullptr) return;
  controller->SetActive(false);
  boneControllers_.push_back(Ref<AnimationController>(controller));
}

AnimationController* SkeletonAnimationController::GetBoneController(int32_t index) const {
  return index >= 0 && index < GetBoneControllerCount() ? boneControllers_[static_cast<size_t>(index)].Get() : nullptr;
}

void SkeletonAnimationController::Update(double elapsed) {
  AnimationController::Update(elapsed);
  if (!IsActive()) return;
  for (const Ref<AnimationController>& bone : boneControllers_) {
    bone->SetActive(true);
    bone->Update(elapsed);
    bone->SetActive(false);
  }
}

// The bone controllers get the base class's settings, not their own
// overrides: a bone controller that is itself a skeleton passes nothing on.
void SkeletonAnimationController::Reset() {
  AnimationController::Reset();
  for (const Ref<AnimationController>& bone : boneControllers_) bone->ClearStages();
}

void SkeletonAnimationController::SetStage(Animation* animation, int32_t index, float weight) {
  AnimationController::SetStage(animation, index, weight);
  for (const Ref<AnimationController>& bone : boneControllers_) {
    bone->AnimationController::SetStage(animation, index, weight);
  }
}

void SkeletonAnimationController::SetStageByName(const String& name, int32_t index, float weight) {
  AnimationController::SetStageByName(name, index, weight);
  for (const Ref<AnimationController>& bone : boneControllers_) {
    bone->AnimationController::SetStageByName(name, index, weight);
  }
}

void SkeletonAnimationController::SetStageWeight(int32_t index, float weight) {
  AnimationController::SetStageWeight(index, weight);
  for (const Ref<AnimationController>& bone : boneControllers_) {
    bone->AnimationController::SetStageWeight(index, weight);
  }
}

void SkeletonAnimationController::SetPhase(double phase) {
  AnimationController::SetPhase(phase);
  for (const Ref<AnimationController>& bone : boneControllers_) bone->AnimationController::SetPhase(phase);
}

void SkeletonAnimationController::VisitLinks(const LinkVisitor& visit) const {
  AnimationController::VisitLinks(visit);
  for (const Ref<AnimationController>& bone : boneControllers_) visit(bone.Get());
}

int SkeletonAnimationController::Save(MemoryStream& stream) {
  if (AnimationController::Save(stream) != kOk) return kFailed;
  if (stream.WriteInt32(GetBoneControllerCount()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество контроллеров анимации костей. Имя[%s] ID[%d]"),
             GetName().CStr(), GetID());
    return kFailed;
  }
  for (const Ref<AnimationController>& bone : boneControllers_) {
    if (stream.WriteObject(bone.Get()) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить контроллер анимации костей. Имя[%s] ID[%d]"), GetName().CStr(),
               GetID());
      return kFailed;
    }
  }
  return kOk;
}

int SkeletonAnimationController::Load(MemoryStream& stream) {
  if (AnimationController::Load(stream) != kOk) return kFailed;
  boneControllers_.clear();
  // Each link takes four bytes at least: a larger count is refused before
  // anything is allocated for it.
  int32_t count = 0;
  const int32_t room = (stream.GetSize() - stream.GetPosition()) / 4;
  if (stream.ReadInt32(count) != kOk || count < 0 || count > room) {
    LogError(KLX_TEXT("Невозможно загрузить количество контроллеров анимации костей. ID[%d] Имя[%s]"), GetID(),
             GetName().CStr());
    return kFailed;
  }
  boneControllers_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    AnimationController* bone = nullptr;
    if (stream.ReadObjectOf(bone) != kOk || klx::ClosesLoop(this, bone)) {
      LogError(KLX_TEXT("Невозможно загрузить контроллер анимации костей. Имя[%s] ID[%d]"), GetName().CStr(),
               GetID());
      return kFailed;
    }
    AddBoneController(bone);
  }
  return kOk;
}

}  // namespace klx
