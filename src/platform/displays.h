#pragma once
// The display devices and their modes, as the window and renderer code see
// them: SDL's displays in SDL's order, the first being the primary. The
// video system is started on first use by whoever needs it and stopped by
// the matching release, so the window code and a renderer can share it.

#include <cstdint>
#include <vector>

namespace klx {

struct DisplayDevice {
  int32_t index = 0;
  int32_t x = 0;  // desktop position
  int32_t y = 0;
  int32_t width = 0;  // current size
  int32_t height = 0;
};

struct DisplayMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t colorBits = 0;    // 32 for the 8-bit-per-channel formats with or without alpha
  uint32_t pixelFormat = 0; // the host's format code
};

// Loads the GL, EGL and Mesa driver libraries for good (once per process;
// see displays.cpp). The video start and the GL device call it.
void KeepGraphicsLibrariesLoaded();

// Starts the video system (counted); false when no display can be opened.
// Sets the hints the program relies on first (the host's own screensaver
// stays allowed, full-screen windows are not minimised on focus loss).
bool AcquireVideo();
void ReleaseVideo();
bool IsVideoStarted();

// The display devices; empty when the video system is not started.
std::vector<DisplayDevice> ListDisplayDevices();
// Every mode of a display, in the host's order.
std::vector<DisplayMode> ListDisplayModes(int32_t display);
// The mode the display's desktop runs in; false for an unknown display.
bool GetDesktopDisplayMode(int32_t display, DisplayMode* mode);
// Whether two modes have the same size and colour depth.
bool SameMode(const DisplayMode& a, const DisplayMode& b);

}  // namespace klx
