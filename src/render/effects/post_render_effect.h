#pragma once
// The letterbox film: a scene-node effect that draws its node's children in
// the middle three quarters of the screen's height, leaving black bars
// above and below, while its film flag is set. Pass 0 narrows the viewport
// (and with it the camera's proportions) and raises the renderer's
// letterbox flag, so the water's maps are drawn for the same picture; pass
// 1 gives the full viewport back and skips, so the children are drawn once.
//
// CameraFilmController sets the film flag of the effect it is attached to
// while one of its cameras is on the screen: a scene letterboxes some of its
// views and not others.

#include <cstdint>

#include "core/array.h"
#include "core/controller.h"
#include "core/ref_counted.h"
#include "render/effect.h"

namespace klx {

class Camera;

class PostRenderEffect : public SceneNodeEffect {
  KLX_DECLARE_CLASS(PostRenderEffect)

 public:
  explicit PostRenderEffect(const String& name);
  // After the effect's data: the film flag.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;

  bool GetFilm() const { return film_; }
  void SetFilm(bool film) { film_ = film; }

  // The fraction of the screen's height each bar takes.
  static constexpr float kBar = 0.125f;

 private:
  bool film_ = false;
};

class CameraFilmController : public Controller {
  KLX_DECLARE_CLASS(CameraFilmController)

 public:
  explicit CameraFilmController(const String& name) : Controller(name) {}

  // After the controller data: the cameras (count, then links).
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // Sets the owner effect's film flag while the screen's camera is listed,
  // and clears it otherwise.
  void Update(double elapsed) override;

  void AddCamera(Camera* camera);
  int32_t GetCameraCount() const { return cameras_.Count(); }
  Camera* GetCamera(int32_t index) const;

 private:
  Array<Ref<Camera>> cameras_{4, 4};
};

}  // namespace klx
