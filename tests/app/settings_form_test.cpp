// The settings dialog's rules without a window system: enabling, the gamma
// label, the mode list and its selection, clamping and the first place.

#include <gtest/gtest.h>

#include "app/settings_form.h"

namespace klx {
namespace {

DisplayConfiguration Mode(int32_t width, int32_t height, int32_t bits, bool fullScreen = true) {
  DisplayConfiguration mode;
  mode.width = width;
  mode.height = height;
  mode.colorBits = bits;
  mode.fullScreen = fullScreen;
  return mode;
}

TEST(SettingsForm, EnablingFollowsSoundClockAndDesktopMode) {
  SaverSettings settings;
  settings.music = false;
  settings.sfx = true;
  EXPECT_TRUE(EnabledFor(settings).volume);
  settings.sfx = false;
  EXPECT_FALSE(EnabledFor(settings).volume);
  settings.music = true;
  EXPECT_TRUE(EnabledFor(settings).volume);
  settings.showTime = false;
  EXPECT_FALSE(EnabledFor(settings).hourFormat);
  settings.useDesktopSettings = true;
  EXPECT_FALSE(EnabledFor(settings).modeList);
  settings.useDesktopSettings = false;
  EXPECT_TRUE(EnabledFor(settings).modeList);
}

TEST(SettingsForm, GammaLabelClampAndFirstPlace) {
  EXPECT_EQ(GammaLabel(0), "100%");
  EXPECT_EQ(GammaLabel(-100), "0%");
  EXPECT_EQ(GammaLabel(100), "200%");
  SaverSettings settings;
  settings.volume = 1000;
  settings.gamma = -500;
  EXPECT_TRUE(ClampToControls(&settings));
  EXPECT_EQ(settings.volume, 100);
  EXPECT_EQ(settings.gamma, -100);
  EXPECT_FALSE(ClampToControls(&settings));
  settings.volume = -3;
  settings.gamma = 101;
  EXPECT_TRUE(ClampToControls(&settings));
  EXPECT_EQ(settings.volume, 0);
  EXPECT_EQ(settings.gamma, 100);
  EXPECT_EQ(FirstDialogPlace(1920, 1080).x, 695);
  EXPECT_EQ(FirstDialogPlace(1920, 1080).y, 320);
}

TEST(SettingsForm, TheModeListKeepsLargeFullScreenModesOnce) {
  const std::vector<DisplayConfiguration> configurations{
      Mode(640, 480, 32), Mode(639, 480, 32), Mode(640, 479, 32), Mode(0, 0, 32, false),
      Mode(1920, 1080, 32), Mode(640, 480, 32),  // the same text again (another format)
      Mode(1920, 1080, 16), Mode(800, 600, 32, false)};
  const std::vector<ModeEntry> entries = ListModes(configurations);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].text, "640x480x32bits");
  EXPECT_EQ(entries[1].text, "1920x1080x32bits");
  EXPECT_EQ(entries[2].text, "1920x1080x16bits");
  EXPECT_EQ(entries[2].colorBits, 16);
}

TEST(SettingsForm, TheSelectedModeIsTheDesktopsOrTheSettingsOrAFallback) {
  const std::vector<ModeEntry> entries =
      ListModes({Mode(640, 480, 32), Mode(1024, 768, 32), Mode(1920, 1080, 32)});
  const DisplayConfiguration desktop = Mode(1920, 1080, 32);
  SaverSettings settings;
  settings.width = 1024;
  settings.height = 768;
  settings.colorDepth = 32;
  settings.useDesktopSettings = true;
  EXPECT_EQ(ChooseMode(entries, settings, &desktop), 2);
  settings.useDesktopSettings = false;
  EXPECT_EQ(ChooseMode(entries, settings, &desktop), 1);
  // A mode the list lacks (a store edited by hand): the desktop's, then the
  // first entry.
  settings.width = 0;
  EXPECT_EQ(ChooseMode(entries, settings, &desktop), 2);
  EXPECT_EQ(ChooseMode(entries, settings, nullptr), 0);
  settings.colorDepth = 16;
  settings.width = 1024;
  EXPECT_EQ(ChooseMode(entries, settings, &desktop), 2);
  EXPECT_EQ(ChooseMode({}, settings, &desktop), -1);
}

}  // namespace
}  // namespace klx
