#pragma once
// The options an XScreenSaver-style host passes to a hack: "-root" (draw
// into the window named by XSCREENSAVER_WINDOW, or the root window),
// "-window-id ID" (draw into that window), and the saver's own settings
// for one run ("-clock", "-no-clock", "-24h", "-12h", "-fps", "-no-fps",
// "-music", "-no-music", "-sound", "-no-sound", "-volume N"). Each takes one
// dash or two. They are taken out of the command line before the mode
// switch is looked for, so "-root -clock" never reads as "/c".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/saver_settings.h"

namespace klx {

// Settings given on the command line: they apply to this run only and are
// never written back to the store.
struct SettingsOverrides {
  std::optional<bool> showTime;
  std::optional<bool> hour24;
  std::optional<bool> showFps;
  std::optional<bool> music;
  std::optional<bool> sfx;
  std::optional<int32_t> volume;  // 0..100

  bool Empty() const;
  void ApplyTo(SaverSettings* settings) const;
};

struct HostOptions {
  // Drawing into a host's window: the host handles input, locking and
  // fading, and ends the run with SIGTERM.
  bool hosted = false;
  // The window to draw into; 0 with `hosted` means the root window.
  uint64_t window = 0;
  SettingsOverrides overrides;
  // What is left of the command line (program name first), for the mode
  // switch.
  std::string rest;
  // Set when an option's value cannot be used ("-window-id" without a
  // window, "-volume" without a number): the run does not start.
  std::string error;
};

// An X11 window id in hexadecimal ("0x1a00007") or decimal; 0 for text
// that is neither or does not fit in 32 bits.
uint64_t ParseWindowId(std::string_view text);

// Takes the host options out of a command line as JoinCommandLine makes
// it. `xscreensaverWindow` is the XSCREENSAVER_WINDOW variable, or null: it
// names the window for "-root", and on its own (no other switch) means the
// host started the hack without options.
HostOptions TakeHostOptions(std::string_view commandLine, const char* xscreensaverWindow);

}  // namespace klx
