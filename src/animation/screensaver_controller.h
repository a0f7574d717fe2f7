#pragma once
// Cuts between views: the scene holds camera sets, and the screensaver
// controller shows one set at a time for the length of its camera's
// animation, then picks another at random, never one of the last half of
// the sets shown, and puts its camera on screen.

#include <cstdint>
#include <vector>

#include "animation/animation_controller.h"
#include "core/controller.h"
#include "core/ref_counted.h"
#include "scene/camera.h"

namespace klx {

class MemoryStream;

struct CameraSet {
  Ref<Camera> camera;
  // Found on load from the camera's controllers: its own animation, and
  // that of the node its look-at controller aims at. Not stored.
  Ref<AnimationController> cameraAnimation;
  Ref<AnimationController> targetAnimation;
  // When, within the set, the fade from black after a cut begins (read by
  // the saver's fade).
  double fadeInStart = 0.0;
  // How long the set stays; the animations' periods replace it when the
  // set is chosen.
  double duration = 1.0;

  // The camera link, fadeInStart, duration; kOk or kFailed (logged).
  int Save(MemoryStream& stream) const;
  int Load(MemoryStream& stream);
  // Finds the two animation controllers among the camera's controllers.
  void FindAnimations();
  // The fewest bytes a stored set takes.
  static constexpr int32_t kStoredSize = 4 + 8 + 8;
};

class ScreensaverController : public Controller {
  KLX_DECLARE_CLASS(ScreensaverController)

 public:
  explicit ScreensaverController(const String& name) : Controller(name) {}

  // After the controller data: the set count, then each set. Loading ends
  // by choosing the first set, so the scene starts with a camera on screen.
  int Save(MemoryStream& stream) override;
  int Load(MemoryStream& stream) override;
  void VisitLinks(const LinkVisitor& visit) const override;

  // Time passes in the current set; when it is over, the next set starts
  // with the time left over, its animations that far in.
  void Update(double elapsed) override;
  // Chooses a set and starts it from its beginning.
  void Reset() override;

  // Picks a set by the history rule, rewinds its animations, takes its
  // duration from them and puts its camera on screen (when something
  // draws). Nothing without sets.
  void ChooseSet();

  void AddSet(const CameraSet& set) { sets_.push_back(set); }
  int32_t GetSetCount() const { return static_cast<int32_t>(sets_.size()); }
  const CameraSet* GetSet(int32_t index) const;
  int32_t GetCurrent() const { return current_; }
  const CameraSet* GetCurrentSet() const { return GetSet(current_); }
  double GetElapsed() const { return elapsed_; }
  const std::vector<int32_t>& GetHistory() const { return history_; }

 private:
  int32_t DrawSet();

  std::vector<CameraSet> sets_;
  int32_t current_ = -1;
  double elapsed_ = 0.0;
  std::vector<int32_t> history_;
  int32_t historySize_ = -1;
};

}  // namespace klx
