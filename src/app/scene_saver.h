#pragma once
// The saver the program runs: the application with its scene. It loads
// "Main.STR" from the media archive, silences what the sound settings turn
// off, uploads every texture before the first frame, updates and draws the
// scene, fades through black at each cut between camera sets, and quiets
// the car under the far views.

#include "app/saver_application.h"
#include "core/ref_counted.h"

namespace klx {

class ColorEffect;
class Image;
class Object;
class ScreensaverController;
class SoundNode;

// The fade over a camera set at `elapsed` seconds into it: rising to 1
// over the last second of `duration`, falling from 1 over the first
// second after `fadeInStart`, 0 between (not clamped).
double FadeAlpha(double elapsed, double duration, double fadeInStart);
// The far views, under which the car is not heard.
bool IsFarView(const char* cameraName);

class SceneSaver : public SaverApplication {
 public:
  SceneSaver();
  ~SceneSaver() override;

  int AfterInputEvent(const InputEvent& event) override;
  int AfterSettingsApplied() override;
  int AfterSettingsLogged() override;
  int ParseExtraDefaults(std::string_view key, std::string_view value) override;
  int ReadExtraRegistryValues(const std::map<std::string, int32_t>& stored) override;
  int WriteExtraRegistryValues(std::vector<std::pair<std::string, int32_t>>* values) override;
  int SettingsDialogMessage(SettingsDialogView& dialog, SettingsDialogEvent event) override;
  void AfterVideoModesListed(SettingsDialogView& dialog) override;
  int AfterEngineStart() override;
  int BeforeEngineStop() override;
  int Update(double deltaSeconds) override;
  int Render() override;
  int CreateRenderData() override;
  int ReleaseRenderData() override;
  int CreateSaverData() override;
  int ReleaseSaverData() override;
  int CacheSaverData() override;
  int UpdateSettingsDialog(SettingsDialogView& dialog) override;

  Object* GetRoot() const { return root_.Get(); }
  ScreensaverController* GetScreensaver() const { return screensaver_; }
  ColorEffect* GetFadeEffect() const { return fade_.Get(); }
  // The pause after the textures are uploaded (1 s; tests shorten it).
  void SetCachePause(uint32_t milliseconds) { cachePauseMs_ = milliseconds; }

 private:
  void SilenceSounds();
  // Takes every shadow-map effect off the scene where the renderer has no
  // hardware shadow maps.
  void RemoveShadowsWithoutShadowMaps();

  Ref<Object> root_;
  Ref<Image> settingsPicture_;
  Ref<ColorEffect> fade_;
  // Valid while the root holds the scene.
  ScreensaverController* screensaver_ = nullptr;
  SoundNode* car_ = nullptr;
  uint32_t cachePauseMs_ = 1000;
};

}  // namespace klx
