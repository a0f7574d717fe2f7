#pragma once
// The operating-system windows the renderer draws into. Full screen: the
// render window in the requested mode on the first display that offers it,
// and a black borderless window at its own desktop mode on every other
// display, owned by the render window. Windowed: one window per display. With a parent (an X11 window id): one child window filling
// the parent. The window code turns keyboard, mouse and closing events into
// input events (see system_events.h).

#include <cstdint>
#include <vector>

#include "core/engine_string.h"

struct SDL_Window;

namespace klx {

// A window the engine created. Opaque to the engine; the renderer reaches
// the host window through GetSdlWindow.
struct SystemWindow;

// 0, 1 (failure, logged), or 3 for a null out pointer. A full-screen
// request that no display can show creates no window (*window stays null)
// and still returns 0.
[[nodiscard]] int CreateSystemWindow(SystemWindow** window, const String& title, uint64_t parentWindow,
                       bool fullScreen, int32_t colorBits, int32_t x, int32_t y, int32_t width,
                       int32_t height);
// Destroys the window and the windows it owns, then forgets the window
// class. A null window only logs a warning before that. 0, or 1 when the
// window cannot be destroyed or no class is registered.
int DestroySystemWindow(SystemWindow* window);

SDL_Window* GetSdlWindow(const SystemWindow* window);
// The refresh rate of the display the window is on, in Hz; 0 when the
// display does not say.
double GetSystemWindowRefreshRate(const SystemWindow* window);

// Whether the window still exists (a host may destroy the parent of a
// child window, and the child with it).
bool IsSystemWindowAlive(SystemWindow* window);
// Whether an X request on a child of a foreign window has failed since the
// child was made: a sign that the host destroyed it, known without a round
// trip to the server.
bool ForeignWindowFailed();
// Shows a picture (0xAARRGGBB pixels, rows top first) scaled to the
// window's size; false when it cannot be drawn.
bool PaintSystemWindow(SystemWindow* window, const uint32_t* pixels, int32_t width, int32_t height);
// Waits up to `timeoutMs` for the window system and takes every pending
// event: `exposed` when a window needs painting, `closed` when one was
// closed or the process was asked to end. Input is not queued here.
void WaitForWindowEvents(int32_t timeoutMs, bool* exposed, bool* closed);

// What exists now, for diagnostics and tests: the registered class name
// (empty when none) and the bounds of every window, the render window first.
struct SystemWindowInfo {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool fullScreen = false;
  uint64_t x11Window = 0;  // the X11 window id, 0 when not on X11
};
String GetSystemWindowClassName();
// The root window of the default X11 screen, 0 without an X display.
uint64_t GetRootWindowId();
std::vector<SystemWindowInfo> ListSystemWindows();

}  // namespace klx
