#include "render/effects/post_render_effect.h"

#include <new>

#include "core/log.h"
#include "core/memory_stream.h"
#include "render/renderer.h"
#include "scene/camera.h"
#include "scene/screen_context.h"

namespace klx {

KLX_IMPLEMENT_CLASS(PostRenderEffect, SceneNodeEffect)
KLX_IMPLEMENT_CLASS(CameraFilmController, Controller)

namespace {

// Ends the pass's recording without drawing: the children's own passes
// come next.
void EndRecording(Renderer& renderer) { renderer.DrawPrimitives(0, 0); }

class FilmPass : public Pass {
 public:
  FilmPass(PostRenderEffect* effect, bool opening) : Pass(String()), effect_(effect), opening_(opening) {}

  int Apply() override {
    Renderer* renderer = GetRenderer();
    if (renderer == nullptr) return kFailed;
    if (opening_) {
      // The viewport is set either way: a pass replays the state it was
      // recorded with, the viewport among it.
      width_ = static_cast<float>(renderer->GetViewportWidth());
      height_ = static_cast<float>(renderer->GetViewportHeight());
      const bool film = effect_->GetFilm();
      renderer->SetLetterbox(film);
      // The screen's aspect follows the viewport, and the camera's
      // projection with it.
      const float bar = film ? PostRenderEffect::kBar : 0.0f;
      renderer->SetViewport(Vector2{0.0f, bar * height_}, Vector2{width_, (1.0f - 2.0f * bar) * height_});
      EndRecording(*renderer);
      return kOk;
    }
    if (partner_ != nullptr && partner_->width_ > 0.0f) {
      renderer->SetViewport(Vector2{0.0f, 0.0f}, Vector2{partner_->width_, partner_->height_});
    }
    EndRecording(*renderer);
    return 1;  // the children were drawn after pass 0
  }

  void SetPartner(FilmPass* opening) { partner_ = opening; }

 private:
  PostRenderEffect* effect_;  // the owner; not counted
  bool opening_;
  FilmPass* partner_ = nullptr;
  float width_ = 0.0f;
  float height_ = 0.0f;
};

class FilmTechnique : public Technique {
 public:
  explicit FilmTechnique(PostRenderEffect* effect) : Technique(effect) {}
  bool IsSupported() override {
    if (GetPassCount() == 0) {
      auto* effect = static_cast<PostRenderEffect*>(effect_);
      auto* opening = new FilmPass(effect, true);
      auto* closing = new FilmPass(effect, false);
      closing->SetPartner(opening);
      AddPass(opening);
      AddPass(closing);
    }
    return true;
  }
};

}  // namespace

PostRenderEffect::PostRenderEffect(const String& name) : SceneNodeEffect(name) {
  AddTechnique(new FilmTechnique(this));
}

int PostRenderEffect::Save(MemoryStream& stream) {
  if (SceneNodeEffect::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteBool(film_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить флаг фильма. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int PostRenderEffect::Load(MemoryStream& stream) {
  if (SceneNodeEffect::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (stream.ReadBool(film_) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить флаг фильма. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

// ---------------------------------------------------------------------------
// Film by camera

void CameraFilmController::AddCamera(Camera* camera) {
  if (camera != nullptr) (void)cameras_.Append(Ref<Camera>(camera));
}

Camera* CameraFilmController::GetCamera(int32_t index) const {
  return index >= 0 && index < cameras_.Count() ? cameras_[index].Get() : nullptr;
}

void CameraFilmController::Update(double) {
  auto* effect = DynamicCast<PostRenderEffect>(GetOwner());
  if (!IsActive() || effect == nullptr) return;
  const Camera* screen = GetScreenCamera();
  bool listed = false;
  for (int32_t i = 0; i < cameras_.Count() && !listed; ++i) listed = screen != nullptr && cameras_[i].Get() == screen;
  effect->SetFilm(listed);
}

void CameraFilmController::VisitLinks(const LinkVisitor& visit) const {
  Controller::VisitLinks(visit);
  for (int32_t i = 0; i < cameras_.Count(); ++i) visit(cameras_[i].Get());
}

int CameraFilmController::Save(MemoryStream& stream) {
  if (Controller::Save(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить родительские данные. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  if (stream.WriteObjectArray(cameras_) != kOk) {
    LogError(KLX_TEXT("Невозможно сохранить камеры. Имя[%s] ID[%d]"), GetName().CStr(), GetID());
    return kFailed;
  }
  return kOk;
}

int CameraFilmController::Load(MemoryStream& stream) {
  if (Controller::Load(stream) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить родительские данные. ID[%d]"), GetID());
    return kFailed;
  }
  if (stream.ReadLinkList(cameras_, *this) != kOk) {
    LogError(KLX_TEXT("Невозможно загрузить камеры. ID[%d] Имя[%s]"), GetID(), GetName().CStr());
    return kFailed;
  }
  return kOk;
}

}  // namespace klx
