#include "app/settings_form.h"

#include <algorithm>
#include <cstdio>

namespace klx {

EnabledControls EnabledFor(const SaverSettings& settings) {
  EnabledControls enabled;
  enabled.volume = settings.music || settings.sfx;
  enabled.hourFormat = settings.showTime;
  enabled.modeList = !settings.useDesktopSettings;
  return enabled;
}

std::string GammaLabel(int32_t gamma) {
  char text[24];
  std::snprintf(text, sizeof(text), "%d%%", static_cast<int>(gamma) + 100);
  return text;
}

std::vector<ModeEntry> ListModes(const std::vector<DisplayConfiguration>& configurations) {
  std::vector<ModeEntry> entries;
  for (const DisplayConfiguration& mode : configurations) {
    if (!mode.fullScreen || mode.width <= 639 || mode.height <= 479) continue;
    char text[64];
    std::snprintf(text, sizeof(text), "%dx%dx%dbits", static_cast<int>(mode.width), static_cast<int>(mode.height),
                  static_cast<int>(mode.colorBits));
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const ModeEntry& e) { return e.text == text; });
    if (!listed) entries.push_back({text, mode.width, mode.height, mode.colorBits});
  }
  return entries;
}

namespace {

int32_t FindMode(const std::vector<ModeEntry>& entries, int32_t width, int32_t height, int32_t bits) {
  for (size_t i = 0; i < entries.size(); ++i) {
    const ModeEntry& e = entries[i];
    if (e.width == width && e.height == height && e.colorBits == bits) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace

int32_t ChooseMode(const std::vector<ModeEntry>& entries, const SaverSettings& settings,
                   const DisplayConfiguration* desktop) {
  if (entries.empty()) return -1;
  const int32_t desktopEntry =
      desktop != nullptr ? FindMode(entries, desktop->width, desktop->height, desktop->colorBits) : -1;
  int32_t chosen = settings.useDesktopSettings
                       ? desktopEntry
                       : FindMode(entries, settings.width, settings.height, settings.colorDepth);
  if (chosen < 0) chosen = desktopEntry;
  return chosen < 0 ? 0 : chosen;
}

bool ClampToControls(SaverSettings* settings) {
  const SaverSettings before = *settings;
  settings->volume = std::clamp<int32_t>(settings->volume, 0, 100);
  settings->gamma = std::clamp<int32_t>(settings->gamma, -100, 100);
  return before.volume != settings->volume || before.gamma != settings->gamma;
}

DialogPlace FirstDialogPlace(int32_t desktopWidth, int32_t desktopHeight) {
  return {(desktopWidth - 530) / 2, (desktopHeight - 440) / 2};
}

}  // namespace klx
