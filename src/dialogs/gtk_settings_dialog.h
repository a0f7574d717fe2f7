#pragma once
// The settings dialog (113) and the about dialog (106) in GTK 3, built from
// the GtkBuilder templates linked in as resources ("DIALOG", 113 and 106),
// with the local strings applied. Each control's id is its number, so the
// code finds controls by those numbers.

#include <gtk/gtk.h>

#include <cstdint>
#include <vector>

#include "app/settings_dialog.h"
#include "app/settings_form.h"

namespace klx {

// Starts GTK once per process; false (logged) without a display.
bool StartGtk();

// The settings dialog of a saver, built and filled but not yet run.
class GtkSettingsDialog : public SettingsDialogView {
 public:
  // Over the X11 window `parent` (0 for none).
  GtkSettingsDialog(SaverApplication& saver, uint64_t parent);
  ~GtkSettingsDialog() override;
  GtkSettingsDialog(const GtkSettingsDialog&) = delete;
  GtkSettingsDialog& operator=(const GtkSettingsDialog&) = delete;

  // Whether the template was built (failures are logged).
  bool IsValid() const { return dialog_ != nullptr; }
  GtkWidget* GetDialog() const { return dialog_; }
  // The control of that number, or null.
  GtkWidget* GetControl(int32_t id) const;
  const std::vector<ModeEntry>& GetModes() const { return modes_; }

  // Shows the dialog and waits for OK or Cancel: 1 or 2.
  int Run();
  // What the two buttons do: OK takes the selected mode into the settings
  // and writes the store; Cancel leaves the store alone. Returns 1 or 2.
  int Respond(int32_t response);
  // Sets every control from the settings again (after "Restore Defaults").
  void Refresh();
  // The about dialog over this one, built and filled; the caller runs and
  // destroys it.
  GtkWidget* CreateAboutDialog();

  bool ShowPicture(int32_t control, const Image& image) override;

 private:
  void ApplyLocalStrings();
  void SetText(int32_t control, const char* key);
  void FillModes();
  void UpdateEnabling();
  void Connect();
  void OpenWebSite();
  void ShowAbout();

  static void OnToggled(GtkToggleButton* button, gpointer self);
  static void OnScaleMoved(GtkRange* range, gpointer self);
  static void OnClicked(GtkButton* button, gpointer self);

  SaverApplication& saver_;
  uint64_t parent_ = 0;
  GtkBuilder* builder_ = nullptr;
  GtkWidget* dialog_ = nullptr;
  std::vector<ModeEntry> modes_;
  bool refreshing_ = false;  // controls set from the settings: no feedback
};

// Runs the GTK settings dialog for the configuration mode.
class GtkDialogRunner : public SettingsDialogRunner {
 public:
  int RunSettingsDialog(SaverApplication& saver, uint64_t parent) override;
};

}  // namespace klx
