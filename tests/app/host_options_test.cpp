#include <gtest/gtest.h>

#include "app/host_options.h"
#include "app/saver_mode.h"

namespace klx {
namespace {

TEST(HostOptions, WindowIdsInHexOrDecimal) {
  EXPECT_EQ(ParseWindowId("0x1a00007"), 0x1a00007u);
  EXPECT_EQ(ParseWindowId("0X1A00007"), 0x1a00007u);
  EXPECT_EQ(ParseWindowId("27262983"), 27262983u);
  EXPECT_EQ(ParseWindowId(" 42 "), 42u);
  for (const char* bad : {"", "0x", "zz", "12ab", "0x1g", "-5", "0x100000000", "99999999999999999999"}) {
    EXPECT_EQ(ParseWindowId(bad), 0u) << bad;
  }
}

TEST(HostOptions, HackOptionsNeverReadAsModeSwitches) {
  // "-clock" would read as "/c" and "-p..." style words as a preview: the
  // hack options go first, so the host's run stays a hosted saver.
  const HostOptions options = TakeHostOptions("klx-saver -root -clock -12h --no-fps", "0x400007");
  EXPECT_TRUE(options.hosted);
  EXPECT_EQ(options.window, 0x400007u);
  EXPECT_EQ(options.rest, "klx-saver");
  EXPECT_TRUE(options.error.empty());
  EXPECT_EQ(options.overrides.showTime, true);
  EXPECT_EQ(options.overrides.hour24, false);
  EXPECT_EQ(options.overrides.showFps, false);
  EXPECT_FALSE(options.overrides.music.has_value());

  // Two dashes, as the current host writes them, and a window id option
  // that wins over the environment.
  const HostOptions byId = TakeHostOptions("klx-saver --window-id 0x2e00003 --music -no-sound", "0x400007");
  EXPECT_TRUE(byId.hosted);
  EXPECT_EQ(byId.window, 0x2e00003u);
  EXPECT_EQ(byId.overrides.music, true);
  EXPECT_EQ(byId.overrides.sfx, false);

  // Without the host's variable "-root" means the root window (0 here).
  const HostOptions root = TakeHostOptions("klx-saver --root", nullptr);
  EXPECT_TRUE(root.hosted);
  EXPECT_EQ(root.window, 0u);
}

TEST(HostOptions, TheModeSwitchesStayForTheModeScan) {
  for (const char* line : {"klx-saver /s", "klx-saver /p 1234", "klx-saver -c", "klx-saver /t -no-clock"}) {
    const HostOptions options = TakeHostOptions(line, nullptr);
    EXPECT_FALSE(options.hosted) << line;
    const SaverCommand direct = ParseSaverCommandLine(line);
    const SaverCommand afterHost = ParseSaverCommandLine(options.rest);
    EXPECT_EQ(afterHost.mode, direct.mode) << line;
    EXPECT_EQ(afterHost.parentWindow, direct.parentWindow) << line;
  }
  // The variable alone makes a hosted run only when no other switch asks
  // for something else (a settings dialog started from the host's session,
  // say).
  EXPECT_TRUE(TakeHostOptions("klx-saver", "0x400007").hosted);
  EXPECT_FALSE(TakeHostOptions("klx-saver /c", "0x400007").hosted);
  EXPECT_FALSE(TakeHostOptions("klx-saver", "not-a-window").hosted);
  // The quoted program name is kept whole.
  EXPECT_EQ(TakeHostOptions("\"/opt/my saver/klx-saver\" -fps /t", nullptr).rest, "\"/opt/my saver/klx-saver\" /t");
}

TEST(HostOptions, VolumeAndBadValues) {
  EXPECT_EQ(TakeHostOptions("klx-saver -volume 35", nullptr).overrides.volume, 35);
  EXPECT_EQ(TakeHostOptions("klx-saver -volume 250", nullptr).overrides.volume, 100);
  EXPECT_EQ(TakeHostOptions("klx-saver -volume -3", nullptr).overrides.volume, 0);
  // A missing or unreadable value is an error, and the next word stays a
  // word of its own.
  const HostOptions noNumber = TakeHostOptions("klx-saver -volume -root", nullptr);
  EXPECT_FALSE(noNumber.error.empty());
  EXPECT_TRUE(noNumber.hosted);
  EXPECT_FALSE(TakeHostOptions("klx-saver -window-id", nullptr).error.empty());
  EXPECT_FALSE(TakeHostOptions("klx-saver -window-id nowhere", nullptr).error.empty());
}

TEST(HostOptions, OverridesChangeOnlyWhatTheyName) {
  SaverSettings settings;
  settings.showTime = false;
  settings.music = false;
  settings.volume = 80;
  const HostOptions options = TakeHostOptions("klx-saver -clock -volume 20", nullptr);
  EXPECT_FALSE(options.overrides.Empty());
  options.overrides.ApplyTo(&settings);
  EXPECT_TRUE(settings.showTime);
  EXPECT_FALSE(settings.music);
  EXPECT_EQ(settings.volume, 20);
  EXPECT_TRUE(TakeHostOptions("klx-saver /s", nullptr).overrides.Empty());
}

}  // namespace
}  // namespace klx
