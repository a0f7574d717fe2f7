// Settings: the resource line syntax, the defaults it sets, and the per-user
// store on its first and later runs and with a damaged file.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/saver_settings.h"
#include "app/settings_store.h"
#include "app/settings_text.h"
#include "core/cp1251.h"
#include "support/image_test_support.h"

namespace klx {
namespace {

std::vector<std::pair<std::string, std::string>> Lines(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> lines;
  ForEachSettingsLine(text, [&lines](const SettingsLine& line) {
    lines.emplace_back(std::string(line.key), std::string(line.value));
    return true;
  });
  return lines;
}

TEST(SettingsText, LinesKeysValuesAndComments) {
  const std::string russian = Utf8ToCp1251("Volume = 50; Громкость музыки\r\n");
  EXPECT_EQ(Lines(russian), (std::vector<std::pair<std::string, std::string>>{{"Volume", "50"}}));
  // Without the spaces around "=" the line has no key.
  EXPECT_EQ(Lines("Volume=50\n"), (std::vector<std::pair<std::string, std::string>>{{"", ""}}));
  // Comment-only lines and blank lines are skipped; the value keeps trailing
  // spaces and may itself contain " = ".
  EXPECT_EQ(Lines("; header\n\n\r\nA = b = c  \nB = \n;x = 1"),
            (std::vector<std::pair<std::string, std::string>>{{"A", "b = c  "}, {"B", ""}}));
  EXPECT_TRUE(Lines("").empty());

  int32_t value = 7;
  EXPECT_TRUE(ParseSettingsInteger("  -42abc", &value));
  EXPECT_EQ(value, -42);
  EXPECT_TRUE(ParseSettingsInteger("-2147483648", &value));
  EXPECT_EQ(value, INT32_MIN);
  EXPECT_FALSE(ParseSettingsInteger("2147483648", &value));
  EXPECT_FALSE(ParseSettingsInteger("abc", &value));
  EXPECT_FALSE(ParseSettingsInteger("", &value));
  EXPECT_EQ(value, INT32_MIN);
}

TEST(SettingsText, DefaultsTakeKnownKeysExactly) {
  DefaultSettings defaults;
  const std::string text =
      "ShowFPS = 1\nExitOnMouseMove = 0\nVolume = 50; music\nvolume = 10\nGamma = x\n"
      "RegistryPath = Software\\Maker\\Product \nFilmResolution = 3\nHour24 = 0\n";
  std::vector<std::string> unknown;
  ForEachSettingsLine(text, [&](const SettingsLine& line) {
    if (!defaults.ApplyLine(line)) unknown.emplace_back(line.key);
    return true;
  });
  EXPECT_TRUE(defaults.showFps);
  EXPECT_FALSE(defaults.exitOnMouseMove);
  EXPECT_FALSE(defaults.hour24);
  EXPECT_EQ(defaults.volume, 50);  // "volume" is another key
  EXPECT_EQ(defaults.gamma, 100);  // unreadable: unchanged
  EXPECT_EQ(defaults.registryPath, "Software\\Maker\\Product ");
  EXPECT_EQ(unknown, (std::vector<std::string>{"volume", "FilmResolution"}));
}

TEST(SettingsStore, FirstRunWritesAndLaterRunsRead) {
  test::ScratchFolder home;
  ASSERT_FALSE(home.path().empty());
  SettingsStore store("Software\\Maker\\..\\Product", home.path());
  EXPECT_EQ(store.GetFolder(), home.path() + "/Maker/Product");
  EXPECT_FALSE(store.Exists());

  SaverSettings settings;
  settings.volume = 33;
  settings.showFps = true;
  ASSERT_TRUE(store.Write(settings.ToValues()));
  EXPECT_TRUE(store.Exists());

  // A later run: stored values win; a value deleted by hand keeps the current one.
  std::string text;
  {
    std::ifstream in(store.GetFilePath());
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_NE(text.find("Volume=33\n"), std::string::npos);
  EXPECT_EQ(text.find("ShowFPS=1\n"), 0u);
  {
    std::ofstream out(store.GetFilePath(), std::ios::trunc);
    out << "ShowFPS=1\nVolume=12\ngarbage line\nWidth=12x\n=5\nGamma=99999999999\nHeight=-7\r\n";
  }
  std::map<std::string, int32_t> values;
  ASSERT_TRUE(store.Read(&values));
  SaverSettings loaded;
  loaded.gamma = 5;
  for (const auto& [name, value] : values) loaded.SetValue(name, value);
  EXPECT_TRUE(loaded.showFps);
  EXPECT_EQ(loaded.volume, 12);
  EXPECT_EQ(loaded.width, 800);  // damaged value: unchanged
  EXPECT_EQ(loaded.gamma, 5);    // out of range: unchanged
  EXPECT_EQ(loaded.height, -7);
  EXPECT_EQ(loaded.colorDepth, 32);  // missing: unchanged
  // No temporary file is left behind.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(store.GetFolder())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

// Two savers writing at once (the dialog's OK while another saves): a
// reader always finds one writer's whole file, never a mix or a part.
TEST(SettingsStore, ConcurrentWritersNeverShowAHalfWrittenFile) {
  test::ScratchFolder home;
  SettingsStore store("Software\\Maker\\Product", home.path());
  SaverSettings first;
  first.volume = first.gamma = 11;
  ASSERT_TRUE(store.Write(first.ToValues()));
  std::atomic<bool> done{false};
  auto writer = [&](int32_t mark) {
    SaverSettings settings;
    settings.volume = settings.gamma = mark;
    for (int i = 0; i < 200; ++i) EXPECT_TRUE(store.Write(settings.ToValues()));
  };
  int reads = 0, torn = 0;
  std::thread reader([&] {
    while (!done) {
      std::map<std::string, int32_t> values;
      if (!store.Read(&values)) continue;
      ++reads;
      torn += values.size() != 13 || values["Volume"] != values["Gamma"];
    }
  });
  std::thread a(writer, 11), b(writer, 22);
  a.join();
  b.join();
  done = true;
  reader.join();
  EXPECT_GT(reads, 0);
  EXPECT_EQ(torn, 0);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(store.GetFolder())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace klx
