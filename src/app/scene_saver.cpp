#include "app/scene_saver.h"

namespace klx {

int SceneSaver::AfterInputEvent(const InputEvent&) { return 0; }
int SceneSaver::AfterSettingsApplied() { return 0; }
int SceneSaver::AfterSettingsLogged() { return 0; }
int SceneSaver::ParseExtraDefaults(std::string_view, std::string_view) { return 0; }
int SceneSaver::ReadExtraRegistryValues(const std::map<std::string, int32_t>&) { return 0; }
int SceneSaver::WriteExtraRegistryValues(std::vector<std::pair<std::string, int32_t>>*) { return 0; }
intptr_t SceneSaver::SettingsDialogMessage(void*, uint32_t, uintptr_t, intptr_t) { return 0; }
void SceneSaver::AfterVideoModesListed() {}
int SceneSaver::AfterEngineStart() { return 0; }
int SceneSaver::BeforeEngineStop() { return 0; }
int SceneSaver::Update(double) { return 0; }
int SceneSaver::Render() { return 0; }
int SceneSaver::CreateRenderData() { return 0; }
int SceneSaver::ReleaseRenderData() { return 0; }
int SceneSaver::CreateSaverData() { return 0; }
int SceneSaver::ReleaseSaverData() { return 0; }
int SceneSaver::CacheSaverData() { return 0; }
int SceneSaver::UpdateSettingsDialog(void*) { return 0; }

}  // namespace klx
