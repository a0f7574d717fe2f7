#include "app/settings_dialog.h"

namespace klx {

namespace {
SettingsDialogRunner* g_runner = nullptr;
}  // namespace

void SetSettingsDialogRunner(SettingsDialogRunner* runner) { g_runner = runner; }
SettingsDialogRunner* GetSettingsDialogRunner() { return g_runner; }

}  // namespace klx
