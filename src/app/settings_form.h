#pragma once
// The settings dialog's rules, apart from any window system: which controls
// are enabled, the gamma label, the list of full-screen modes and which of
// them is selected, the settings pulled into the controls' ranges, and the
// dialog's first place on the desktop.

#include <cstdint>
#include <string>
#include <vector>

#include "app/saver_settings.h"
#include "render/renderer.h"

namespace klx {

struct ModeEntry {
  std::string text;  // "%dx%dx%dbits"
  int32_t width = 0;
  int32_t height = 0;
  int32_t colorBits = 0;
};

struct EnabledControls {
  bool volume = true;      // the volume bar and its label: music or SFX on
  bool hourFormat = true;  // the 12 h and 24 h buttons: the clock on
  bool modeList = true;    // the mode list: the desktop's mode not used
};

EnabledControls EnabledFor(const SaverSettings& settings);

// The gamma label: Gamma + 100 followed by "%".
std::string GammaLabel(int32_t gamma);

// Every full-screen configuration wider than 639 and higher than 479 as an
// entry, in order, each text once.
std::vector<ModeEntry> ListModes(const std::vector<DisplayConfiguration>& configurations);

// The entry to select: the desktop's mode when the settings use it, else the
// settings' own mode. When that mode is not in the list the desktop's entry
// is chosen, then the first, so OK always has a mode to write; -1 for an
// empty list.
int32_t ChooseMode(const std::vector<ModeEntry>& entries, const SaverSettings& settings,
                   const DisplayConfiguration* desktop);

// Pulls Volume into 0..100 and Gamma into -100..100, the ranges of their
// bars; returns whether anything changed.
bool ClampToControls(SaverSettings* settings);

// Where the dialog first appears on a desktop of that size.
struct DialogPlace {
  int32_t x = 0;
  int32_t y = 0;
};
DialogPlace FirstDialogPlace(int32_t desktopWidth, int32_t desktopHeight);

}  // namespace klx
