// klx-saver: the screensaver program. See README for the switches.
#include "app/saver_entry.h"
#include "app/saver_mode.h"
#include "app/settings_dialog.h"
#include "dialogs/gtk_settings_dialog.h"

int main(int argc, char** argv) {
  // The configuration mode shows the GTK settings dialog.
  klx::GtkDialogRunner dialogs;
  klx::SetSettingsDialogRunner(&dialogs);
  const int status = klx::RunSaverProcess(klx::JoinCommandLine(argc, argv));
  klx::SetSettingsDialogRunner(nullptr);
  return status;
}
