#pragma once
// The saver's user settings: the thirteen values the registry store keeps,
// and the defaults that also carry the store's path and the web address.
// Defaults come from built-in values overridden by the settings resource.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_text.h"

namespace klx {

struct SaverSettings {
  bool showFps = false;
  bool exitOnMouseMove = true;
  bool showTime = true;
  bool useDesktopSettings = true;
  bool music = true;
  bool sfx = true;
  bool hour24 = true;
  int32_t volume = 80;
  int32_t width = 800;
  int32_t height = 600;
  int32_t colorDepth = 32;
  int32_t antiAliasing = 0;
  int32_t gamma = 100;

  // The values as the store keeps them, named and in table order (booleans
  // as 0 or 1).
  std::vector<std::pair<std::string, int32_t>> ToValues() const;
  // Takes the value of a setting by its exact name; false for another name.
  bool SetValue(std::string_view name, int32_t value);
};

struct DefaultSettings : SaverSettings {
  std::string registryPath = "Software\\VELMORA Studio\\Test Screensaver";
  std::string webSiteUrl;

  // Applies one resource line: a known key (case-sensitive) takes its value
  // through "%d" (booleans: not zero), RegistryPath and main_web_site_url
  // the text. Returns whether the key was known. A number that cannot be
  // read keeps the current value.
  bool ApplyLine(const SettingsLine& line);
};

}  // namespace klx
