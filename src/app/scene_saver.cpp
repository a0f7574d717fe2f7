#include "app/scene_saver.h"

#include "core/result.h"

namespace klx {

int SceneSaver::AfterInputEvent(const InputEvent&) { return kOk; }
int SceneSaver::AfterSettingsApplied() { return kOk; }
int SceneSaver::AfterSettingsLogged() { return kOk; }
int SceneSaver::ParseExtraDefaults(std::string_view, std::string_view) { return kOk; }
int SceneSaver::ReadExtraRegistryValues(const std::map<std::string, int32_t>&) { return kOk; }
int SceneSaver::WriteExtraRegistryValues(std::vector<std::pair<std::string, int32_t>>*) { return kOk; }
intptr_t SceneSaver::SettingsDialogMessage(void*, uint32_t, uintptr_t, intptr_t) { return 0; }
void SceneSaver::AfterVideoModesListed() {}
int SceneSaver::AfterEngineStart() { return kOk; }
int SceneSaver::BeforeEngineStop() { return kOk; }
int SceneSaver::Update(double) { return kOk; }
int SceneSaver::Render() { return kOk; }
int SceneSaver::CreateRenderData() { return kOk; }
int SceneSaver::ReleaseRenderData() { return kOk; }
int SceneSaver::CreateSaverData() { return kOk; }
int SceneSaver::ReleaseSaverData() { return kOk; }
int SceneSaver::CacheSaverData() { return kOk; }
int SceneSaver::UpdateSettingsDialog(void*) { return kOk; }

}  // namespace klx
