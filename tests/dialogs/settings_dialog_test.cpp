// The GTK settings and about dialogs, driven in-process on the test's X
// display: controls are found by their numbers and their signals emitted,
// as a user's clicks would. Every test skips without DISPLAY.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/gtk_settings_dialog.h"
#include "render/renderer.h"
#include "support/image_test_support.h"
#include "support/log_capture.h"
#include "support/recording_saver.h"

namespace klx {
namespace {

using test::RecordingSaver;
using test::Text;
namespace control = dialog_control;

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') GTEST_SKIP() << "no X display (DISPLAY unset)";
    setenv("XDG_CONFIG_HOME", (scratch_.path() + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch_.path() + "/data").c_str(), 1);
  }
  void TearDown() override {
    if (saver_) {
      EXPECT_EQ(saver_->Shutdown(), kOk);
    }
    saver_ = nullptr;
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
  }
  // Starts the saver in the configuration mode (settings read, engine and
  // renderer up) and GTK.
  void Start() {
    saver_ = new RecordingSaver();
    saver_->SetCommandLine("klx-saver /c");
    saver_->SetRendererModuleName(String("TestRenderer"));
    saver_->SetShutdownPause(0);
    ASSERT_EQ(saver_->Initialize(), kOk);
    ASSERT_TRUE(StartGtk());
  }
  std::string StoreFile() const { return scratch_.path() + "/config/KLX Tests/Saver/settings"; }
  std::string StoreText() const {
    std::ifstream in(StoreFile());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void SetActive(GtkSettingsDialog& dialog, int32_t id, bool active) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog.GetControl(id)), active);
  }
  static bool Active(GtkWidget* toggle) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle)); }
  static bool Enabled(GtkWidget* widget) { return gtk_widget_get_sensitive(widget); }
  static double Position(GtkWidget* bar) { return gtk_range_get_value(GTK_RANGE(bar)); }
  static std::string LabelText(GtkWidget* label) { return gtk_label_get_text(GTK_LABEL(label)); }

  test::ScratchFolder scratch_;
  Ref<RecordingSaver> saver_;
};

TEST_F(SettingsDialogTest, ControlsStartFromTheSettingsWithTheLocalTexts) {
  Start();
  GtkSettingsDialog dialog(*saver_, 0);
  ASSERT_TRUE(dialog.IsValid());
  // The test resource: Volume 50, ShowFPS 1, Hour24 0, Gamma -20; the rest
  // built-in.
  EXPECT_EQ(Position(dialog.GetControl(control::kVolume)), 50);
  EXPECT_EQ(Position(dialog.GetControl(control::kGamma)), -20);
  EXPECT_EQ(LabelText(dialog.GetControl(control::kGammaLabel)), "80%");
  EXPECT_TRUE(Active(dialog.GetControl(control::kShowFps)));
  EXPECT_TRUE(Active(dialog.GetControl(control::kHour12)));
  EXPECT_FALSE(Active(dialog.GetControl(control::kHour24)));
  EXPECT_TRUE(Active(dialog.GetControl(control::kShowTime)));
  EXPECT_TRUE(Active(dialog.GetControl(control::kExitOnMouseMove)));
  EXPECT_TRUE(Active(dialog.GetControl(control::kMusic)));
  EXPECT_TRUE(Active(dialog.GetControl(control::kSfx)));
  EXPECT_TRUE(Active(dialog.GetControl(control::kUseDesktop)));
  EXPECT_FALSE(Enabled(dialog.GetControl(control::kModeList)));
  // Texts: from the local strings where they have the key, else the
  // template's.
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog.GetDialog())), "Test Saver Settings");
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(dialog.GetControl(control::kShowFps))), "Frame rate");
  EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(dialog.GetControl(control::kShowTime))), "Show Time");
  // The scene saver put the settings picture into its frame.
  EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(dialog.GetControl(control::kPicture))), GTK_IMAGE_SURFACE);
}

TEST_F(SettingsDialogTest, EnablingRulesAndBarsFollowTheControls) {
  Start();
  GtkSettingsDialog dialog(*saver_, 0);
  ASSERT_TRUE(dialog.IsValid());
  SaverSettings& settings = saver_->GetSettings();
  GtkWidget* volume = dialog.GetControl(control::kVolume);
  GtkWidget* volumeLabel = dialog.GetControl(control::kVolumeLabel);

  // The volume is there while music or SFX is on.
  SetActive(dialog, control::kMusic, false);
  EXPECT_FALSE(settings.music);
  EXPECT_TRUE(Enabled(volume));
  SetActive(dialog, control::kSfx, false);
  EXPECT_FALSE(settings.sfx);
  EXPECT_FALSE(Enabled(volume));
  EXPECT_FALSE(Enabled(volumeLabel));
  SetActive(dialog, control::kMusic, true);
  EXPECT_TRUE(Enabled(volume));
  EXPECT_TRUE(Enabled(volumeLabel));

  // The clock format goes with the clock.
  SetActive(dialog, control::kShowTime, false);
  EXPECT_FALSE(settings.showTime);
  EXPECT_FALSE(Enabled(dialog.GetControl(control::kHour12)));
  EXPECT_FALSE(Enabled(dialog.GetControl(control::kHour24)));
  SetActive(dialog, control::kShowTime, true);
  EXPECT_TRUE(Enabled(dialog.GetControl(control::kHour24)));
  SetActive(dialog, control::kHour24, true);
  EXPECT_TRUE(settings.hour24);
  EXPECT_FALSE(Active(dialog.GetControl(control::kHour12)));
  SetActive(dialog, control::kHour12, true);
  EXPECT_FALSE(settings.hour24);

  // The mode list is for when the desktop's mode is not used.
  SetActive(dialog, control::kUseDesktop, false);
  EXPECT_FALSE(settings.useDesktopSettings);
  EXPECT_TRUE(Enabled(dialog.GetControl(control::kModeList)));

  // The bars move the values, and the gamma label follows.
  gtk_range_set_value(GTK_RANGE(volume), 73);
  EXPECT_EQ(settings.volume, 73);
  for (int gamma : {-100, 35, 100}) {
    gtk_range_set_value(GTK_RANGE(dialog.GetControl(control::kGamma)), gamma);
    EXPECT_EQ(settings.gamma, gamma);
    EXPECT_EQ(LabelText(dialog.GetControl(control::kGammaLabel)), std::to_string(gamma + 100) + "%");
  }
  SetActive(dialog, control::kShowFps, false);
  EXPECT_FALSE(settings.showFps);
  SetActive(dialog, control::kExitOnMouseMove, false);
  EXPECT_FALSE(settings.exitOnMouseMove);
}

TEST_F(SettingsDialogTest, TheModeListHoldsLargeModesOnceAndSelectsTheRightOne) {
  Start();
  GtkSettingsDialog dialog(*saver_, 0);
  ASSERT_TRUE(dialog.IsValid());
  Renderer* renderer = GetRenderer();
  ASSERT_NE(renderer, nullptr);
  GtkComboBox* list = GTK_COMBO_BOX(dialog.GetControl(control::kModeList));
  const std::vector<ModeEntry>& modes = dialog.GetModes();
  ASSERT_FALSE(modes.empty());
  std::set<std::string> texts;
  for (const ModeEntry& mode : modes) {
    EXPECT_TRUE(texts.insert(mode.text).second) << mode.text;
    EXPECT_GT(mode.width, 639);
    EXPECT_GT(mode.height, 479);
  }
  const DisplayConfiguration& desktop = renderer->GetConfiguration(renderer->GetDefaultConfiguration());
  const std::string desktopText = std::to_string(desktop.width) + "x" + std::to_string(desktop.height) + "x" +
                                  std::to_string(desktop.colorBits) + "bits";
  auto selectedText = [&] {
    gchar* text = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(list));
    std::string copy = text != nullptr ? text : "";
    g_free(text);
    return copy;
  };
  // With the desktop's mode in use, its entry is selected.
  EXPECT_EQ(selectedText(), desktopText);
  // Without it, the settings' mode; the last entry stands for a mode the
  // user chose.
  SaverSettings& settings = saver_->GetSettings();
  settings.useDesktopSettings = false;
  settings.width = modes.back().width;
  settings.height = modes.back().height;
  settings.colorDepth = modes.back().colorBits;
  dialog.Refresh();
  EXPECT_EQ(gtk_combo_box_get_active(list), static_cast<int>(modes.size()) - 1);
  EXPECT_TRUE(Enabled(dialog.GetControl(control::kModeList)));
}

TEST_F(SettingsDialogTest, OkWritesTheStoreAndCancelAfterRestoreDefaultsLeavesIt) {
  Start();
  const std::string stored = StoreText();
  ASSERT_NE(stored.find("Volume=50"), std::string::npos);
  {
    GtkSettingsDialog dialog(*saver_, 0);
    ASSERT_TRUE(dialog.IsValid());
    gtk_range_set_value(GTK_RANGE(dialog.GetControl(control::kVolume)), 12);
    gtk_button_clicked(GTK_BUTTON(dialog.GetControl(control::kRestoreDefaults)));
    EXPECT_EQ(Position(dialog.GetControl(control::kVolume)), 50);
    EXPECT_EQ(saver_->GetSettings().volume, 50);
    gtk_range_set_value(GTK_RANGE(dialog.GetControl(control::kVolume)), 12);
    EXPECT_EQ(dialog.Respond(control::kCancel), control::kCancel);
    EXPECT_EQ(StoreText(), stored);
  }
  GtkSettingsDialog dialog(*saver_, 0);
  gtk_range_set_value(GTK_RANGE(dialog.GetControl(control::kVolume)), 12);
  SetActive(dialog, control::kHour24, true);
  EXPECT_EQ(dialog.Respond(control::kOk), control::kOk);
  const std::string written = StoreText();
  EXPECT_NE(written.find("Volume=12\n"), std::string::npos) << written;
  EXPECT_NE(written.find("Hour24=1\n"), std::string::npos) << written;
  const ModeEntry& mode = dialog.GetModes().at(static_cast<size_t>(
      gtk_combo_box_get_active(GTK_COMBO_BOX(dialog.GetControl(control::kModeList)))));
  EXPECT_NE(written.find("Width=" + std::to_string(mode.width) + "\n"), std::string::npos) << written;
  EXPECT_NE(written.find("Height=" + std::to_string(mode.height) + "\n"), std::string::npos) << written;
}

TEST_F(SettingsDialogTest, AHandEditedStoreOpensClampedAndOkWritesItClean) {
  std::filesystem::create_directories(scratch_.path() + "/config/KLX Tests/Saver");
  {
    std::ofstream out(StoreFile());
    out << "Volume=1000\nGamma=-500\nWidth=0\n\x01\x02 junk line\n=\nShowFPS=zero\nMusic=0\n";
  }
  Start();
  GtkSettingsDialog dialog(*saver_, 0);
  ASSERT_TRUE(dialog.IsValid());
  EXPECT_EQ(Position(dialog.GetControl(control::kVolume)), 100);
  EXPECT_EQ(Position(dialog.GetControl(control::kGamma)), -100);
  EXPECT_EQ(LabelText(dialog.GetControl(control::kGammaLabel)), "0%");
  EXPECT_FALSE(Active(dialog.GetControl(control::kMusic)));
  EXPECT_EQ(dialog.Respond(control::kOk), control::kOk);
  const std::string written = StoreText();
  EXPECT_NE(written.find("Volume=100\n"), std::string::npos) << written;
  EXPECT_NE(written.find("Gamma=-100\n"), std::string::npos) << written;
  EXPECT_EQ(written.find("Width=0\n"), std::string::npos) << written;
  EXPECT_EQ(written.find("junk"), std::string::npos) << written;
  // Every line is a known key with a number.
  std::istringstream lines(written);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    const size_t equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    EXPECT_TRUE(saver_->GetSettings().SetValue(line.substr(0, equals), std::stoi(line.substr(equals + 1)))) << line;
  }
  EXPECT_EQ(count, 13);
}

TEST_F(SettingsDialogTest, TheAboutDialogShowsTheCreditsAndTheLogo) {
  Start();
  GtkSettingsDialog dialog(*saver_, 0);
  GtkWidget* about = dialog.CreateAboutDialog();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(about)), GTK_WINDOW(dialog.GetDialog()));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(about)), "About");
  // The labels are children of the dialog; find the first credits line.
  bool foundLine = false, foundLogo = false;
  std::vector<GtkWidget*> pending{about};
  while (!pending.empty()) {
    GtkWidget* widget = pending.back();
    pending.pop_back();
    if (GTK_IS_LABEL(widget) && LabelText(widget) == "Test Saver 1.0") foundLine = true;
    if (GTK_IS_IMAGE(widget) && gtk_image_get_storage_type(GTK_IMAGE(widget)) == GTK_IMAGE_SURFACE) foundLogo = true;
    if (GTK_IS_CONTAINER(widget)) {
      GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
      for (GList* c = children; c != nullptr; c = c->next) pending.push_back(GTK_WIDGET(c->data));
      g_list_free(children);
    }
  }
  EXPECT_TRUE(foundLine);
  EXPECT_TRUE(foundLogo);
  gtk_widget_destroy(about);
}

// "Visit..." on a desktop without a program for web addresses (the test's
// data folders are empty): a message says so, and the dialog goes on.
TEST_F(SettingsDialogTest, VisitWithoutABrowserSaysSo) {
  setenv("XDG_DATA_DIRS", (scratch_.path() + "/data").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (scratch_.path() + "/config").c_str(), 1);
  Start();
  GtkSettingsDialog dialog(*saver_, 0);
  ASSERT_TRUE(dialog.IsValid());
  test::ScopedLogCapture log;
  static std::string shown;
  shown.clear();
  g_timeout_add(
      300,
      [](gpointer) -> gboolean {
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w != nullptr; w = w->next) {
          if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) {
            gchar* text = nullptr;
            g_object_get(w->data, "text", &text, nullptr);
            shown = text != nullptr ? text : "";
            g_free(text);
            gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_OK);
          }
        }
        g_list_free(windows);
        return G_SOURCE_REMOVE;
      },
      nullptr);
  gtk_button_clicked(GTK_BUTTON(dialog.GetControl(control::kVisit)));
  unsetenv("XDG_DATA_DIRS");
  unsetenv("XDG_CONFIG_DIRS");
  EXPECT_EQ(shown, "No program to open web addresses is set up on this desktop.");
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно открыть адрес [https://example.org/saver].")));
}

// The configuration mode through the registered runner: the dialog ends
// with Cancel (closed from a timer, as a user would), and the run succeeds.
TEST_F(SettingsDialogTest, TheConfigurationModeRunsTheDialogAndSucceeds) {
  Start();
  GtkDialogRunner runner;
  SetSettingsDialogRunner(&runner);
  test::ScopedLogCapture log;
  g_timeout_add(
      300,
      [](gpointer) -> gboolean {
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w != nullptr; w = w->next) {
          if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) {
            gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_DELETE_EVENT);
          }
        }
        g_list_free(windows);
        return G_SOURCE_REMOVE;
      },
      nullptr);
  EXPECT_EQ(saver_->Run(), kOk);
  SetSettingsDialogRunner(nullptr);
  EXPECT_TRUE(log->Has(kLogInfo, Text("Запущен режим конфигурирования.")));
}

}  // namespace
}  // namespace klx
