#include "platform/displays.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace klx {
namespace {

int32_t ColorBitsOf(uint32_t format) {
  // Four-byte formats (XRGB8888, ARGB8888 and kin) count as 32 colour bits:
  // that is the depth the saver asks for, though SDL calls XRGB 24.
  return static_cast<int32_t>(SDL_BYTESPERPIXEL(format)) * 8;
}

DisplayMode FromSdl(const SDL_DisplayMode& mode) {
  return DisplayMode{mode.w, mode.h, ColorBitsOf(mode.format), mode.format};
}

}  // namespace

// SDL loads the GL and EGL libraries (and through them Mesa's driver) for
// each GL window and unloads them when the video system stops; a renderer
// that opens and closes windows would load the driver again every time.
// They are loaded once for the life of the process instead. This also keeps
// their allocations attributable for the leak checker, whose suppressions
// of third-party libraries cannot name an unloaded one.
void KeepGraphicsLibrariesLoaded() {
  static bool done = false;
  if (done) return;
  done = true;
  const char* const libraries[] = {
      "libGL.so.1",       "libGLX.so.0",        "libGLX_mesa.so.0", "libEGL.so.1",
      "libEGL_mesa.so.0", "libGLdispatch.so.0", "libglapi.so.0",    "libgbm.so.1",
      "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
      "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so",
  };
  for (const char* library : libraries) {
    // A library that is missing here is simply not used.
    dlopen(library, RTLD_LAZY | RTLD_GLOBAL | RTLD_NODELETE);
  }
}

namespace {

// A preview's window lives inside its host's, and the host may destroy it
// at any time; requests about it that are still in flight (SDL's input
// method gives the window its event mask back when the video system quits)
// then fail with BadWindow, and Xlib's default handler ends the process for
// that. Such errors are ignored; any other goes on to the default handler.
// Installed before SDL starts its video, so SDL's own handler passes errors
// here and puts this one back when it quits.
XErrorHandler g_defaultXErrorHandler = nullptr;
int IgnoreGoneWindows(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  return g_defaultXErrorHandler != nullptr ? g_defaultXErrorHandler(display, error) : 0;
}

void IgnoreGoneWindowsOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // Only where SDL will talk to an X server: runs on the offscreen driver
  // leave Xlib untouched.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0' || (driver != nullptr && std::strcmp(driver, "x11") != 0)) return;
  g_defaultXErrorHandler = XSetErrorHandler(&IgnoreGoneWindows);
}

}  // namespace

bool AcquireVideo() {
  KeepGraphicsLibrariesLoaded();
  IgnoreGoneWindowsOnce();
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void ReleaseVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool IsVideoStarted() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

std::vector<DisplayDevice> ListDisplayDevices() {
  std::vector<DisplayDevice> devices;
  if (!IsVideoStarted()) return devices;
  const int count = SDL_GetNumVideoDisplays();
  for (int i = 0; i < count; ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) != 0) continue;
    devices.push_back(DisplayDevice{i, bounds.x, bounds.y, bounds.w, bounds.h});
  }
  return devices;
}

std::vector<DisplayMode> ListDisplayModes(int32_t display) {
  std::vector<DisplayMode> modes;
  if (!IsVideoStarted()) return modes;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(display, i, &mode) == 0) modes.push_back(FromSdl(mode));
  }
  return modes;
}

bool GetDesktopDisplayMode(int32_t display, DisplayMode* mode) {
  SDL_DisplayMode desktop;
  if (!IsVideoStarted() || SDL_GetDesktopDisplayMode(display, &desktop) != 0) return false;
  *mode = FromSdl(desktop);
  return true;
}

bool SameMode(const DisplayMode& a, const DisplayMode& b) {
  return a.width == b.width && a.height == b.height && a.colorBits == b.colorBits;
}

}  // namespace klx
