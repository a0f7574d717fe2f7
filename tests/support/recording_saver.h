#pragma once
// A saver for tests: records the hooks the application calls, in order, and
// can be told to fail one of them or to stop after a number of updates.

#include <string>
#include <vector>

#include "app/scene_saver.h"

namespace klx::test {

class RecordingSaver : public SceneSaver {
 public:
  std::vector<std::string> calls;
  std::vector<InputEvent> events;
  std::string failHook;      // the hook that reports failure, if any
  int32_t updates = 0;
  int32_t stopAfterUpdates = -1;  // RequestStop after that many updates

  using SaverApplication::SetRunning;

  int Record(const char* hook) {
    calls.emplace_back(hook);
    return failHook == hook ? 1 : 0;
  }
  int AfterInputEvent(const InputEvent& event) override {
    events.push_back(event);
    return 0;
  }
  int AfterSettingsApplied() override { return Record("AfterSettingsApplied"); }
  int AfterSettingsLogged() override { return Record("AfterSettingsLogged"); }
  int ParseExtraDefaults(std::string_view key, std::string_view) override {
    return failHook == "ParseExtraDefaults" && key == "Fail" ? 1 : 0;
  }
  int AfterEngineStart() override { return Record("AfterEngineStart"); }
  int BeforeEngineStop() override { return Record("BeforeEngineStop"); }
  int Update(double) override {
    ++updates;
    if (stopAfterUpdates >= 0 && updates >= stopAfterUpdates) RequestStop();
    return failHook == "Update" ? 1 : 0;
  }
  int Render() override { return failHook == "Render" ? 1 : 0; }
  int CreateRenderData() override { return Record("CreateRenderData"); }
  int ReleaseRenderData() override { return Record("ReleaseRenderData"); }
  int CreateSaverData() override { return Record("CreateSaverData"); }
  int ReleaseSaverData() override { return Record("ReleaseSaverData"); }
  int CacheSaverData() override { return Record("CacheSaverData"); }
};

}  // namespace klx::test
