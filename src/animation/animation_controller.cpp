#include "animation/animation_controller.h"

#include <cmath>

#include "animation/slerp.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "core/result.h"
#include "scene/node.h"

namespace klx {

KLX_IMPLEMENT_ABSTRACT_CLASS(AnimationController, Controller)
KLX_IMPLEMENT_CLASS(NodeAnimationController, AnimationController)

Animation* AnimationController::GetAnimation(int32_t index) const {
  return index >= 0 && index < GetAnimationCount() ? animations_[static_cast<size_t>(index)].Get() : nullptr;
}

const AnimationFrame* AnimationController::GetFrame(int32_t index) const {
  return index >= 0 && index < GetFrameCount() ? &frames_[static_cast<size_t>(index)] : nullptr;
}

const BlendStage* AnimationController::GetStage(int32_t index) const {
  return index >= 0 && index < GetStageCount() ? &stages_[static_cast<size_t>(index)] : nullptr;
}

// ---------------------------------------------------------------------------
// Stages

void AnimationController::Reset() {
  stages_.clear();
  phase_ = 0.0;
}

void AnimationController::SetStage(Animation* animation, int32_t index, float weight) {
  if (index < 0) return;
  if (GetStageCount() <= index) stages_.resize(static_cast<size_t>(index) + 1);
  BlendStage& stage = stages_[static_cast<size_t>(index)];
  stage.animation = animation;
  stage.weight = weight;
}

void AnimationController::SetStageByName(const String& name, int32_t index, float weight) {
  SetStage(nullptr, index, weight);
  if (index < 0) return;
  for (const Ref<Animation>& animation : animations_) {
    if (animation->GetName() == name) stages_[static_cast<size_t>(index)].animation = animation;
  }
}

void AnimationController::SetStageWeight(int32_t index, float weight) {
  if (index >= 0 && index < GetStageCount()) stages_[static_cast<size_t>(index)].weight = weight;
}

// ---------------------------------------------------------------------------
// The track

void AnimationController::AdvancePhase(double elapsed) {
  // Without a period the track stands still.
  if (!(trackPeriod_ > 0.0)) return;
  phase_ += elapsed / trackPeriod_;
  if (phase_ >= 1.0) phase_ -= std::floor(phase_);
  if (!std::isfinite(phase_)) phase_ = 0.0;
}

void AnimationController::WeighStages(const AnimationFrame* first, const AnimationFrame* second) {
  if (second == nullptr) {
    if (GetStageCount() >= 2 && stages_[1].animation) {
      SetStage(nullptr, 1, 0.0f);
      stages_[0].weight = 1.0f;
    }
    return;
  }
  // Where one window leaves while the other enters, the weight moves from
  // the leaving one to the entering one across the overlap.
  float weight0 = 0.5f;
  float weight1 = 0.5f;
  if (first->start < second->start && first->end < second->end && first->end > second->start) {
    const double t = (phase_ - second->start) / (first->end - second->start);
    weight1 = static_cast<float>(t);
    weight0 = static_cast<float>(1.0 - t);
  } else if (first->start > second->start && first->end > second->end && second->end > first->start) {
    const double w = (phase_ - first->start) / (second->end - first->start);
    weight0 = static_cast<float>(w);
    weight1 = static_cast<float>(1.0 - w);
  }
  stages_[0].weight = weight0;
  stages_[1].weight = weight1;
}

void AnimationController::Update(double elapsed) {
  if (!IsActive()) return;
  AdvancePhase(elapsed);
  const AnimationFrame* matched[2] = {nullptr, nullptr};
  int32_t matches = 0;
  for (const AnimationFrame& frame : frames_) {
    if (!(frame.start <= phase_ && phase_ <= frame.end)) continue;
    if (GetStageCount() <= matches || stages_[static_cast<size_t>(matches)].animation != frame.animation) {
      SetStage(frame.animation.Get(), matches, 1.0f);
    }
    matched[matches++] = &frame;
    if (matches == 2) break;
  }
  WeighStages(matched[0], matched[1]);
  if (matched[0] != nullptr) stages_[0].Sample(FirstStageTime(matched[0]->mode, matched[0]->LocalTime(phase_)));
  if (matched[1] != nullptr) stages_[1].Sample(SecondStageTime(matched[1]->mode, matched[1]->LocalTime(phase_)));
}

// ---------------------------------------------------------------------------
// Found by name and class: the animations after the object itself

Object* AnimationController::FindByName(const String& name) {
  if (Object* found = Controller::FindByName(name)) return found;
  for (const Ref<Animation>& animation : animations_) {
    if (Object* found = animation->FindByName(name)) return found;
  }
  return nullptr;
}

void AnimationController::VisitLinks(const LinkVisitor& visit) const {
  Controller::VisitLinks(visit);
  for (const Ref<Animation>& animation : animations_) visit(animation.Get());
  for (const AnimationFrame& frame : frames_) visit(frame.animation.Get());
  for (const BlendStage& stage : stages_) visit(stage.animation.Get());
}

void AnimationController::CollectByType(const RTTI& type, Array<Object*>& found) {
  Controller::CollectByType(type, found);
  for (const Ref<Animation>& animation : animations_) animation->CollectByType(type, found);
}

// ---------------------------------------------------------------------------
// Save and load

int AnimationController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  auto fail = [this](const char* message) {
    LogError(message, GetName().CStr(), GetID());
    return kFailed;
  };
  if (stream.WriteInt32(GetAnimationCount()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить количество анимаций. Имя[%s] ID[%d]"));
  }
  for (const Ref<Animation>& animation : animations_) {
    if (stream.WriteObject(animation.Get()) != kOk) return fail(KLX_TEXT("Невозможно сохранить анимацию. Имя[%s] ID[%d]"));
  }
  if (stream.WriteInt32(GetFrameCount()) != kOk) {
    return fail(KLX_TEXT("Невозможно сохранить количество фреймов анимаций. Имя[%s] ID[%d]"));
  }
  for (const AnimationFrame& frame : frames_) {
    if (frame.Save(stream) != kOk) return fail(KLX_TEXT("Невозможно сохранить фрейм анимаций. Имя[%s] ID[%d]"));
  }
  if (stream.WriteDouble(trackPeriod_) != kOk) return fail(KLX_TEXT("Невозможно сохранить период трэка. Имя[%s] ID[%d]"));
  return kOk;
}

bool AnimationController::ClosesLoop(const Animation* animation) const {
  return animation != nullptr && (animation == static_cast<const Object*>(this) || animation->Reaches(this));
}

int AnimationController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  auto failIdName = [this](const char* message) {
    LogError(message, GetID(), GetName().CStr());
    return kFailed;
  };
  auto failNameId = [this](const char* message) {
    LogError(message, GetName().CStr(), GetID());
    return kFailed;
  };
  // Counts the remaining bytes cannot hold are refused before anything is
  // allocated for them (a link takes 4 bytes at least).
  auto room = [&stream](int32_t each) { return (stream.GetSize() - stream.GetPosition()) / each; };
  int32_t count = 0;
  if (stream.ReadInt32(count) != kOk || count < 0 || count > room(4)) {
    return failIdName(KLX_TEXT("Невозможно загрузить количество анимаций. ID[%d] Имя[%s]"));
  }
  animations_.clear();
  animations_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    Animation* animation = nullptr;
    // An animation that runs this controller among its own controllers
    // would close a loop of counted references: refused.
    if (stream.ReadObjectOf(animation) != kOk || ClosesLoop(animation)) {
      return failNameId(KLX_TEXT("Невозможно загрузить анимацию. Имя[%s] ID[%d]"));
    }
    if (animation != nullptr) animations_.push_back(Ref<Animation>(animation));
  }
  if (stream.ReadInt32(count) != kOk || count < 0 || count > room(AnimationFrame::kStoredSize)) {
    return failIdName(KLX_TEXT("Невозможно загрузить количество фреймов анимаций. ID[%d] Имя[%s]"));
  }
  frames_.clear();
  frames_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    AnimationFrame frame;
    if (frame.Load(stream) != kOk || ClosesLoop(frame.animation.Get())) {
      return failNameId(KLX_TEXT("Невозможно загрузить фрейм анимаций. Имя[%s] ID[%d]"));
    }
    frames_.push_back(frame);
  }
  if (stream.ReadDouble(trackPeriod_) != kOk) {
    return failIdName(KLX_TEXT("Невозможно загрузить период трэка. ID[%d] Имя[%s]"));
  }
  Reset();
  return kOk;
}

// ---------------------------------------------------------------------------
// Node animation

namespace {

Vector3 Toward(const Vector3& from, const Vector3& to, float amount) { return from + (to - from) * amount; }

}  // namespace

void NodeAnimationController::Update(double elapsed) {
  AnimationController::Update(elapsed);
  Node* node = DynamicCast<Node>(GetOwner());
  if (!IsActive() || node == nullptr) return;
  Transform& local = node->LocalTransform();
  Vector3 translation = local.translation;
  Quaternion rotation = local.rotation;
  Vector3 scale = local.scale;
  for (const BlendStage& stage : stages_) {
    // Only node animations carry poses; a frame that names another kind
    // moves nothing.
    const auto* animation = DynamicCast<NodeAnimation>(stage.animation.Get());
    if (animation == nullptr) continue;
    const NodeKeyframe* k0 = animation->GetNodeKeyframe(stage.key);
    const NodeKeyframe* k1 = animation->GetNodeKeyframe(stage.nextKey);
    if (k0 == nullptr || k1 == nullptr) continue;
    const float f = static_cast<float>(stage.fraction);
    const float w = stage.weight;
    rotation = Slerp(rotation, Slerp(k0->rotation, k1->rotation, f), w);
    translation = Toward(translation, Toward(k0->translation, k1->translation, f), w);
    scale = Toward(scale, Toward(k0->scale, k1->scale, f), w);
  }
  local.translation = translation;
  local.rotation = rotation;
  local.scale = scale;
  local.isIdentity = false;
  local.rotationIsIdentity = false;
  node->SetWorldTransformUpdate(true);
}

}  // namespace klx
