#include "animation/screensaver_controller.h"

#include <algorithm>
#include <cmath>

#include "animation/target_controllers.h"
#include "core/log.h"
#include "core/memory_stream.h"
#include "core/random15.h"
#include "core/result.h"
#include "scene/camera.h"
#include "scene/screen_context.h"

namespace klx {

KLX_IMPLEMENT_CLASS(ScreensaverController, Controller)

namespace {

// Random draws before the choice falls back to a scan. With at most half
// the sets barred a draw fails with chance 1/2 at most, so the scan only
// runs for sets the 15-bit draw cannot reach (more than 32768 of them).
constexpr int kDraws = 64;

}  // namespace

// ---------------------------------------------------------------------------
// Camera sets

int CameraSet::Save(MemoryStream& stream) const {
  if (stream.WriteObject(camera.Get()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить камеру сета контроллера скринсейвера."));
    return kFailed;
  }
  if (stream.WriteDouble(fadeInStart) != kOk || stream.WriteDouble(duration) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить данные сета контроллера скринсейвера."));
    return kFailed;
  }
  return kOk;
}

int CameraSet::Load(MemoryStream& stream) {
  Camera* loaded = nullptr;
  if (stream.ReadObjectOf(loaded) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить камеру сета контроллера скринсейвера."));
    return kFailed;
  }
  camera = loaded;
  if (stream.ReadDouble(fadeInStart) != kOk || stream.ReadDouble(duration) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить данные сета контроллера скринсейвера."));
    return kFailed;
  }
  return kOk;
}

void CameraSet::FindAnimations() {
  cameraAnimation = nullptr;
  targetAnimation = nullptr;
  if (!camera) return;
  for (int32_t i = 0; i < camera->GetControllerCount(); ++i) {
    Controller* controller = camera->GetController(i);
    if (auto* aim = DynamicCast<TargetCameraController>(controller)) {
      Node* target = aim->GetTarget();
      for (int32_t j = 0; target != nullptr && j < target->GetControllerCount(); ++j) {
        if (auto* animation = DynamicCast<AnimationController>(target->GetController(j))) {
          targetAnimation = animation;
          break;
        }
      }
    } else if (auto* animation = DynamicCast<AnimationController>(controller)) {
      cameraAnimation = animation;  // the last one listed wins
    }
  }
}

// ---------------------------------------------------------------------------
// Choosing a set

const CameraSet* ScreensaverController::GetSet(int32_t index) const {
  return index >= 0 && index < GetSetCount() ? &sets_[static_cast<size_t>(index)] : nullptr;
}

int32_t ScreensaverController::DrawSet() {
  const int32_t count = GetSetCount();
  auto barred = [this](int32_t set) {
    return historySize_ > 1 && std::find(history_.begin(), history_.end(), set) != history_.end();
  };
  int32_t chosen = -1;
  for (int draw = 0; draw < kDraws && chosen < 0; ++draw) {
    const int32_t candidate = Random15() % count;
    if (!barred(candidate)) chosen = candidate;
  }
  // The first set not barred from a random start.
  for (int32_t step = 0, start = Random15() % count; chosen < 0 && step < count; ++step) {
    if (!barred((start + step) % count)) chosen = (start + step) % count;
  }
  // The newest entry last; with one entry, it is simply replaced.
  if (historySize_ > 1) {
    history_.erase(history_.begin());
    history_.push_back(chosen);
  } else {
    history_.assign(1, chosen);
  }
  return chosen;
}

void ScreensaverController::ChooseSet() {
  const int32_t count = GetSetCount();
  if (count == 0) return;
  const int32_t size = std::max(count / 2, 1);
  if (size != historySize_) {
    history_.clear();
    historySize_ = size;
  }
  if (history_.empty()) {
    history_.reserve(static_cast<size_t>(size) + 1);
    for (int32_t i = 0; i < size; ++i) history_.push_back(Random15() % count);
  }
  current_ = DrawSet();
  CameraSet& set = sets_[static_cast<size_t>(current_)];
  // A track that stands still (no period) sets no length.
  if (set.cameraAnimation) {
    set.cameraAnimation->Reset();
    if (set.cameraAnimation->GetTrackPeriod() > 0.0) set.duration = set.cameraAnimation->GetTrackPeriod();
  }
  if (set.targetAnimation) {
    set.targetAnimation->Reset();
    const double period = set.targetAnimation->GetTrackPeriod();
    if (period > 0.0 && period < set.duration) set.duration = period;
  }
  SetScreenCamera(set.camera.Get());
}

void ScreensaverController::Reset() {
  ChooseSet();
  elapsed_ = 0.0;
}

void ScreensaverController::Update(double elapsed) {
  if (!IsActive() || GetCurrentSet() == nullptr) return;
  elapsed_ += elapsed;
  if (!std::isfinite(elapsed_)) elapsed_ = 0.0;
  const double duration = sets_[static_cast<size_t>(current_)].duration;
  if (elapsed_ < duration) return;
  elapsed_ -= duration;
  if (!std::isfinite(elapsed_)) elapsed_ = 0.0;
  ChooseSet();
  // The new set's animations run their own update later in this frame and
  // advance by the whole step; set back by the part of the step spent in
  // the old set, they start exactly elapsed_ seconds in.
  const CameraSet& set = sets_[static_cast<size_t>(current_)];
  for (AnimationController* animation : {set.cameraAnimation.Get(), set.targetAnimation.Get()}) {
    if (animation == nullptr || !(animation->GetTrackPeriod() > 0.0)) continue;
    animation->SetPhase(animation->GetPhase() - (elapsed - elapsed_) / animation->GetTrackPeriod());
  }
}

// ---------------------------------------------------------------------------
// Links, save and load

void ScreensaverController::VisitLinks(const LinkVisitor& visit) const {
  Controller::VisitLinks(visit);
  for (const CameraSet& set : sets_) {
    visit(set.camera.Get());
    visit(set.cameraAnimation.Get());
    visit(set.targetAnimation.Get());
  }
}

int ScreensaverController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteInt32(GetSetCount()) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить количество сетов. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  for (const CameraSet& set : sets_) {
    if (set.Save(stream) != kOk) {
      LogError(KLX_TEXT("Невозможно сохранить сет. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
      return kFailed;
    }
  }
  return kOk;
}

int ScreensaverController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  sets_.clear();
  history_.clear();
  historySize_ = -1;
  current_ = -1;
  elapsed_ = 0.0;
  int32_t count = 0;
  // A count the remaining bytes cannot hold is refused before anything is
  // allocated for it.
  if (stream.ReadInt32(count) != kOk || count < 0 ||
      count > (stream.GetSize() - stream.GetPosition()) / CameraSet::kStoredSize) {
    LogError(KLX_TEXT("Невозможно загрузить количество сетов. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  sets_.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    CameraSet set;
    // A camera that holds this controller would close a loop of counted
    // references: refused like a damaged set.
    if (set.Load(stream) != kOk || (set.camera && set.camera->Reaches(this))) {
      sets_.clear();
      LogError(KLX_TEXT("Невозможно загрузить сет. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
      return kFailed;
    }
    set.FindAnimations();
    sets_.push_back(set);
  }
  ChooseSet();
  return kOk;
}

}  // namespace klx
