#pragma once
// The saver the program runs: the application with its scene. Every hook
// succeeds and does nothing until the scene, its textures and the fade are
// built on top of it.

#include "app/saver_application.h"

namespace klx {

class SceneSaver : public SaverApplication {
 public:
  SceneSaver() = default;

  int AfterInputEvent(const InputEvent& event) override;
  int AfterSettingsApplied() override;
  int AfterSettingsLogged() override;
  int ParseExtraDefaults(std::string_view key, std::string_view value) override;
  int ReadExtraRegistryValues(const std::map<std::string, int32_t>& stored) override;
  int WriteExtraRegistryValues(std::vector<std::pair<std::string, int32_t>>* values) override;
  intptr_t SettingsDialogMessage(void* dialog, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) override;
  void AfterVideoModesListed() override;
  int AfterEngineStart() override;
  int BeforeEngineStop() override;
  int Update(double deltaSeconds) override;
  int Render() override;
  int CreateRenderData() override;
  int ReleaseRenderData() override;
  int CreateSaverData() override;
  int ReleaseSaverData() override;
  int CacheSaverData() override;
  int UpdateSettingsDialog(void* dialog) override;
};

}  // namespace klx
