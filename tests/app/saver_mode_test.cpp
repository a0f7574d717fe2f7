#include <gtest/gtest.h>

#include "app/saver_mode.h"

namespace klx {
namespace {

SaverCommand Parse(const char* line) { return ParseSaverCommandLine(line); }

TEST(SaverMode, SwitchesAndHandles) {
  EXPECT_EQ(Parse("klx-saver").mode, kSaverModeConfigure);
  EXPECT_EQ(Parse("klx-saver /").mode, kSaverModeSaver);  // the only '/' is the last character
  EXPECT_EQ(Parse("klx-saver /S").mode, kSaverModeSaver);
  EXPECT_EQ(Parse("klx-saver /x").mode, kSaverModeSaver);
  EXPECT_EQ(Parse("klx-saver /t").mode, kSaverModeTest);
  for (const char* line : {"klx-saver /p 1234", "klx-saver -P1234", "klx-saver /p:1234"}) {
    const SaverCommand command = Parse(line);
    EXPECT_EQ(command.mode, kSaverModePreview) << line;
    EXPECT_EQ(command.parentWindow, 1234u) << line;
  }
  const SaverCommand configure = Parse("klx-saver /c");
  EXPECT_EQ(configure.mode, kSaverModeConfigure);
  EXPECT_EQ(configure.parentWindow, 0u);
  EXPECT_EQ(Parse("klx-saver /a 77").mode, kSaverModePassword);
  EXPECT_EQ(Parse("klx-saver /a 77").parentWindow, 77u);
  // A handle too long for a window id is no window.
  EXPECT_EQ(Parse("klx-saver /p 99999999999999999999999").parentWindow, 0u);
  // The program name is skipped whole, even with a '-' or blank in it.
  EXPECT_EQ(Parse("\"/opt/my saver/klx-saver\" /t").mode, kSaverModeTest);
  EXPECT_EQ(Parse("\"/opt/my-saver/x\"").mode, kSaverModeConfigure);
  EXPECT_EQ(Parse("/usr/bin/klx-saver").mode, kSaverModeConfigure);
}

TEST(SaverMode, ArgumentsJoinIntoTheCommandLine) {
  const char* argv[] = {"/opt/my saver/klx-saver", "/p", "42"};
  const std::string line = JoinCommandLine(3, argv);
  EXPECT_EQ(line, "\"/opt/my saver/klx-saver\" /p 42");
  EXPECT_EQ(ParseSaverCommandLine(line).parentWindow, 42u);
  const char* plain[] = {"klx-saver-build/bin/klx-saver"};
  EXPECT_EQ(ParseSaverCommandLine(JoinCommandLine(1, plain)).mode, kSaverModeConfigure);
}

}  // namespace
}  // namespace klx
