#include "platform/system_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "core/log.h"
#include "platform/displays.h"

namespace klx {

struct SystemWindow {
  SDL_Window* sdl = nullptr;
  bool fullScreen = false;
  // A child of a foreign window is made through our own X connection, which
  // must stay open while the window lives.
  Display* childDisplay = nullptr;
  Window childWindow = 0;
};

namespace {

// The window "class": its name while registered, the video system held for
// as long. The first window is the render window; the others belong to it.
String g_className;
bool g_classRegistered = false;
std::vector<SystemWindow*> g_windows;

bool g_xErrorSeen = false;
int RecordXError(Display*, XErrorEvent*) {
  g_xErrorSeen = true;
  return 0;
}

// A child of a foreign window goes when its host destroys the parent, and
// SDL and the GL driver may still draw into it or ask about it: Xlib's
// default handler would end the process for that. Errors about windows that
// are gone are recorded and ignored; while a child of a foreign window
// exists, so is every other error (a GL drawable that vanished reports its
// own codes), the first of them logged. Otherwise errors go to the handler
// that was there before.
XErrorHandler g_previousXErrorHandler = nullptr;
int g_foreignChildren = 0;
bool g_foreignErrorLogged = false;
volatile bool g_foreignWindowFailed = false;
int ForgiveGoneWindows(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable || g_foreignChildren > 0) {
    g_xErrorSeen = true;
    if (g_foreignChildren > 0) g_foreignWindowFailed = true;
    if (g_foreignChildren > 0 && !g_foreignErrorLogged) {
      g_foreignErrorLogged = true;
      LogWarning(KLX_TEXT("Ошибка X11 %d в запросе %d: окно хоста, видимо, уже закрыто."),
                 static_cast<int>(error->error_code), static_cast<int>(error->request_code));
    }
    return 0;
  }
  return g_previousXErrorHandler != nullptr ? g_previousXErrorHandler(display, error) : 0;
}

void ForgiveGoneWindowsOnce() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  g_previousXErrorHandler = XSetErrorHandler(&ForgiveGoneWindows);
}

// Holds an X error handler that records errors instead of ending the
// process, for the calls on a foreign window that may already be gone.
class ScopedXErrorTrap {
 public:
  explicit ScopedXErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    g_xErrorSeen = false;
    previous_ = XSetErrorHandler(&RecordXError);
  }
  ~ScopedXErrorTrap() { XSetErrorHandler(previous_); }
  // Waits for the server's answers, then tells whether any call failed.
  bool Failed() {
    XSync(display_, False);
    return g_xErrorSeen;
  }

 private:
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*);
};

bool RegisterWindowClass(const String& className) {
  if (g_classRegistered) return false;  // one class at a time
  if (!AcquireVideo()) return false;
  g_className = className;
  g_classRegistered = true;
  return true;
}

bool UnregisterWindowClass() {
  if (!g_classRegistered) return false;
  g_classRegistered = false;
  g_className = String();
  ReleaseVideo();
  return true;
}

// Takes a full-screen X11 window off the screen at once. SDL, leaving full
// screen on a window that is still mapped, waits up to 100 ms for the window
// manager to move it back; a withdrawn window skips that wait, so the saver
// disappears as soon as it is closed.
void WithdrawFullScreen(SDL_Window* window) {
  if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) == 0) return;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  XWithdrawWindow(display, info.info.x11.window, DefaultScreen(display));
  XSync(display, False);
}

void DestroyOne(SystemWindow* window) {
  if (window->sdl != nullptr) {
    WithdrawFullScreen(window->sdl);
    SDL_DestroyWindow(window->sdl);
  }
  if (window->childDisplay != nullptr) {
    {
      ScopedXErrorTrap trap(window->childDisplay);  // the host may have destroyed it already
      XDestroyWindow(window->childDisplay, window->childWindow);
      trap.Failed();
    }
    XCloseDisplay(window->childDisplay);
    --g_foreignChildren;
  }
  delete window;
}

// Secondary full-screen windows show black: nothing else is drawn there.
void PaintBlack(SDL_Window* window) {
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  if (surface == nullptr) return;
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  SDL_UpdateWindowSurface(window);
}

// On X11 the server itself fills the window black whenever it is exposed,
// so the render window is black until its first frame.
void SetBlackBackground(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  XSetWindowBackground(display, info.info.x11.window, BlackPixel(display, DefaultScreen(display)));
  XClearWindow(display, info.info.x11.window);
  XFlush(display);
}

SDL_Window* CreateTopLevel(const char* title, int x, int y, int width, int height, uint32_t flags,
                           bool renderWindow) {
  // The render window needs a GL-capable visual; where GL cannot be had the
  // window is still made, and the renderer reports the failure.
  SDL_Window* window = nullptr;
  if (renderWindow) {
    window = SDL_CreateWindow(title, x, y, width, height, flags | SDL_WINDOW_OPENGL);
  }
  if (window == nullptr) window = SDL_CreateWindow(title, x, y, width, height, flags);
  if (window != nullptr) SetBlackBackground(window);
  return window;
}

// The child window filling a foreign X11 window, wrapped for SDL so the
// renderer can draw into it and its input reaches the event pump.
SystemWindow* CreateChildWindow(const char* title, uint64_t parent) {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver == nullptr || std::strcmp(driver, "x11") != 0) return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  Window child = 0;
  {
    ScopedXErrorTrap trap(display);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, static_cast<Window>(parent), &attributes) == 0 ||
        trap.Failed()) {
      LogError(KLX_TEXT("Окно 0x%lx не существует."), static_cast<unsigned long>(parent));
      XCloseDisplay(display);
      return nullptr;
    }
    const unsigned long black = BlackPixel(display, DefaultScreen(display));
    child = XCreateSimpleWindow(display, static_cast<Window>(parent), 0, 0,
                                static_cast<unsigned>(attributes.width > 0 ? attributes.width : 1),
                                static_cast<unsigned>(attributes.height > 0 ? attributes.height : 1),
                                0, black, black);
    XStoreName(display, child, title);
    if (static_cast<Window>(parent) == attributes.root) {
      // Drawing on the root window: the child is the desktop's background,
      // below every window and left alone by the window manager.
      XSetWindowAttributes unmanaged;
      unmanaged.override_redirect = True;
      XChangeWindowAttributes(display, child, CWOverrideRedirect, &unmanaged);
      XMapWindow(display, child);
      XLowerWindow(display, child);
    } else {
      XMapWindow(display, child);
    }
    if (trap.Failed()) {
      XCloseDisplay(display);  // also removes the child, if it was made
      return nullptr;
    }
  }
  ForgiveGoneWindowsOnce();
  SDL_Window* sdl = SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<uintptr_t>(child)));
  if (sdl == nullptr) {
    XDestroyWindow(display, child);
    XCloseDisplay(display);
    return nullptr;
  }
  // SDL does not ask for input on a window it did not create: ask through
  // SDL's own connection so the events arrive in its queue.
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(sdl, &info) && info.subsystem == SDL_SYSWM_X11) {
    XSelectInput(info.info.x11.display, child,
                 KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                     PointerMotionMask | ExposureMask | StructureNotifyMask | FocusChangeMask |
                     EnterWindowMask | LeaveWindowMask);
    XFlush(info.info.x11.display);
  }
  SystemWindow* window = new (std::nothrow) SystemWindow{sdl, false, display, child};
  if (window == nullptr) {
    SDL_DestroyWindow(sdl);
    XDestroyWindow(display, child);
    XCloseDisplay(display);
    return nullptr;
  }
  ++g_foreignChildren;
  g_foreignWindowFailed = false;
  return window;
}

// The first mode of the display with the requested size and depth. Modes
// have no position of their own: they all sit at the display's origin, so
// only a request at (0, 0) matches.
bool FindFullScreenMode(int32_t display, int32_t colorBits, int32_t x, int32_t y, int32_t width,
                        int32_t height, SDL_DisplayMode* found) {
  if (x != 0 || y != 0) return false;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
    if (mode.w == width && mode.h == height &&
        static_cast<int32_t>(SDL_BYTESPERPIXEL(mode.format)) * 8 == colorBits) {
      *found = mode;
      return true;
    }
  }
  return false;
}

SystemWindow* CreateFullScreenWindow(const char* title, const DisplayDevice& device,
                                     const SDL_DisplayMode& mode, bool renderWindow) {
  SDL_Window* sdl = CreateTopLevel(title, device.x, device.y, device.width, device.height,
                                   SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN, renderWindow);
  if (sdl == nullptr) return nullptr;
  // The desktop mode is kept as it is; any other mode switches the display.
  SDL_DisplayMode desktop;
  const bool isDesktop = SDL_GetDesktopDisplayMode(device.index, &desktop) == 0 &&
                         desktop.w == mode.w && desktop.h == mode.h &&
                         SDL_BYTESPERPIXEL(desktop.format) == SDL_BYTESPERPIXEL(mode.format);
  SDL_SetWindowDisplayMode(sdl, &mode);
  if (SDL_SetWindowFullscreen(sdl, isDesktop ? SDL_WINDOW_FULLSCREEN_DESKTOP
                                             : SDL_WINDOW_FULLSCREEN) != 0) {
    SDL_DestroyWindow(sdl);
    return nullptr;
  }
  SDL_ShowWindow(sdl);
  if (!renderWindow) PaintBlack(sdl);
  SystemWindow* window = new (std::nothrow) SystemWindow{sdl, true, nullptr, 0};
  if (window == nullptr) SDL_DestroyWindow(sdl);
  return window;
}

SystemWindow* CreateWindowedWindow(const char* title, const DisplayDevice& device, int32_t x,
                                   int32_t y, int32_t width, int32_t height, bool renderWindow) {
  SDL_Window* sdl = CreateTopLevel(title, device.x + x, device.y + y, width, height,
                                   SDL_WINDOW_SHOWN, renderWindow);
  if (sdl == nullptr) return nullptr;
  if (!renderWindow) PaintBlack(sdl);
  SystemWindow* window = new (std::nothrow) SystemWindow{sdl, false, nullptr, 0};
  if (window == nullptr) SDL_DestroyWindow(sdl);
  return window;
}

// Undoes a failed creation: every window made so far goes, then the class.
int FailCreation() {
  DestroySystemWindow(nullptr);
  return kFailed;
}

}  // namespace

int CreateSystemWindow(SystemWindow** window, const String& title, uint64_t parentWindow,
                       bool fullScreen, int32_t colorBits, int32_t x, int32_t y, int32_t width,
                       int32_t height) {
  LogInfo(KLX_TEXT("Создание системного окна [%s]."), title.CStr());
  if (window == nullptr) {
    LogError(KLX_TEXT("Указатель на окно равен 0."));
    return kInvalidArg;
  }
  *window = nullptr;
  const String className = title + String(" Class");
  if (!RegisterWindowClass(className)) {
    LogError(KLX_TEXT("Невозможно зарегестрировать класс окна [%s]."), className.CStr());
    return kFailed;
  }

  if (parentWindow != 0) {
    SystemWindow* child = CreateChildWindow(title.CStr(), parentWindow);
    if (child == nullptr || !(g_windows.push_back(child), true)) {
      FailCreation();
      LogError(KLX_TEXT("Невозможно создать окно [%s]."), title.CStr());
      return kFailed;
    }
    *window = child;
    return kOk;
  }

  const std::vector<DisplayDevice> devices = ListDisplayDevices();
  if (devices.empty()) return FailCreation();  // no display lies anywhere
  if (fullScreen) {
    // The render window goes on the first display that offers the mode;
    // every other display is covered too, black at its own desktop mode, so
    // that no part of the desktop shows beside the saver.
    SDL_DisplayMode mode;
    auto render = std::find_if(devices.begin(), devices.end(), [&](const DisplayDevice& device) {
      return FindFullScreenMode(device.index, colorBits, x, y, width, height, &mode);
    });
    if (render == devices.end()) {
      DestroySystemWindow(nullptr);  // nothing could show the mode: still 0, no window
      return kOk;
    }
    SystemWindow* created = CreateFullScreenWindow(title.CStr(), *render, mode, true);
    if (created == nullptr) {
      LogError(KLX_TEXT("Невозможно создать окно [%s]."), title.CStr());
      return FailCreation();
    }
    g_windows.push_back(created);
    for (const DisplayDevice& device : devices) {
      if (&device == &*render) continue;
      SDL_DisplayMode own;
      if (SDL_GetDesktopDisplayMode(device.index, &own) != 0) continue;
      SystemWindow* cover = CreateFullScreenWindow(title.CStr(), device, own, false);
      if (cover != nullptr) g_windows.push_back(cover);
    }
    *window = g_windows.front();
    return kOk;
  }
  for (DisplayDevice device : devices) {
    const bool renderWindow = g_windows.empty();
    SystemWindow* created = CreateWindowedWindow(title.CStr(), device, x, y, width, height, renderWindow);
    if (created == nullptr) return FailCreation();
    g_windows.push_back(created);
  }
  if (g_windows.empty()) {
    DestroySystemWindow(nullptr);  // nothing could show the mode: still 0, no window
    return kOk;
  }
  *window = g_windows.front();
  return kOk;
}

int DestroySystemWindow(SystemWindow* window) {
  int result = kOk;
  if (window == nullptr) {
    LogWarning(KLX_TEXT("Указатель на окно равен 0."));
    // A failed creation comes here: whatever it made goes too.
    for (SystemWindow* made : g_windows) DestroyOne(made);
    g_windows.clear();
  } else {
    auto found = std::find(g_windows.begin(), g_windows.end(), window);
    if (found == g_windows.end()) {
      LogError(KLX_TEXT("Невозможно удалить системное окно."));
      result = kFailed;
    } else if (found == g_windows.begin()) {
      for (SystemWindow* owned : g_windows) DestroyOne(owned);  // the owned ones go with it
      g_windows.clear();
    } else {
      DestroyOne(window);
      g_windows.erase(found);
    }
  }
  // Display modes return to the desktop's as the windows go (the host does
  // that when a full-screen window closes).
  // The class cannot go while windows of it remain.
  if (!g_windows.empty() || !UnregisterWindowClass()) {
    LogError(KLX_TEXT("Невозможно разрегестрировать класс системного окна."));
    result = kFailed;
  }
  return result;
}

SDL_Window* GetSdlWindow(const SystemWindow* window) {
  return window != nullptr ? window->sdl : nullptr;
}

double GetSystemWindowRefreshRate(const SystemWindow* window) {
  SDL_Window* sdl = GetSdlWindow(window);
  if (sdl == nullptr) return 0;
  SDL_DisplayMode mode{};
  if (SDL_GetWindowDisplayMode(sdl, &mode) == 0 && mode.refresh_rate > 0) return mode.refresh_rate;
  const int display = SDL_GetWindowDisplayIndex(sdl);
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  return 0;
}

bool IsSystemWindowAlive(SystemWindow* window) {
  if (window == nullptr) return false;
  if (window->childDisplay == nullptr) return true;
  ScopedXErrorTrap trap(window->childDisplay);
  XWindowAttributes attributes;
  const bool found = XGetWindowAttributes(window->childDisplay, window->childWindow, &attributes) != 0;
  return !trap.Failed() && found;
}

bool PaintSystemWindow(SystemWindow* window, const uint32_t* pixels, int32_t width, int32_t height) {
  if (window == nullptr || pixels == nullptr || width <= 0 || height <= 0) return false;
  // The picture scaled to the window (nearest texel), as the host's
  // preview area asks for a stretched bitmap.
  auto scaled = [&](int32_t targetWidth, int32_t targetHeight, std::vector<uint32_t>* out) {
    out->resize(static_cast<size_t>(targetWidth) * targetHeight);
    for (int32_t y = 0; y < targetHeight; ++y) {
      const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * height / targetHeight);
      for (int32_t x = 0; x < targetWidth; ++x) {
        const int32_t sx = static_cast<int32_t>(static_cast<int64_t>(x) * width / targetWidth);
        (*out)[static_cast<size_t>(y) * targetWidth + x] = pixels[static_cast<size_t>(sy) * width + sx];
      }
    }
  };
  if (window->childDisplay != nullptr) {
    Display* display = window->childDisplay;
    ScopedXErrorTrap trap(display);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window->childWindow, &attributes) == 0 || attributes.width <= 0 ||
        attributes.height <= 0 || attributes.depth < 24) {
      return false;
    }
    std::vector<uint32_t> image;
    scaled(attributes.width, attributes.height, &image);
    XImage* ximage = XCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, 0,
                                  reinterpret_cast<char*>(image.data()), static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), 32, 0);
    if (ximage == nullptr) return false;
    const GC gc = XCreateGC(display, window->childWindow, 0, nullptr);
    XPutImage(display, window->childWindow, gc, ximage, 0, 0, 0, 0, static_cast<unsigned>(attributes.width),
              static_cast<unsigned>(attributes.height));
    XFreeGC(display, gc);
    ximage->data = nullptr;  // the vector owns the pixels
    XDestroyImage(ximage);
    XFlush(display);
    return !trap.Failed();
  }
  SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
  if (surface == nullptr) return false;
  std::vector<uint32_t> image;
  scaled(surface->w, surface->h, &image);
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(image.data(), surface->w, surface->h, 32, surface->w * 4,
                                                           SDL_PIXELFORMAT_ARGB8888);
  if (source == nullptr) return false;
  SDL_BlitSurface(source, nullptr, surface, nullptr);
  SDL_FreeSurface(source);
  return SDL_UpdateWindowSurface(window->sdl) == 0;
}

void WaitForWindowEvents(int32_t timeoutMs, bool* exposed, bool* closed) {
  *exposed = false;
  *closed = false;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event event;
  if (SDL_WaitEventTimeout(&event, timeoutMs) == 0) return;
  do {
    if (event.type == SDL_QUIT) *closed = true;
    if (event.type == SDL_WINDOWEVENT) {
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: *closed = true; break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED: *exposed = true; break;
        default: break;
      }
    }
  } while (SDL_PollEvent(&event) != 0);
}

String GetSystemWindowClassName() { return g_className; }

bool ForeignWindowFailed() { return g_foreignChildren > 0 && g_foreignWindowFailed; }

uint64_t GetRootWindowId() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  const uint64_t root = DefaultRootWindow(display);
  XCloseDisplay(display);
  return root;
}

std::vector<SystemWindowInfo> ListSystemWindows() {
  std::vector<SystemWindowInfo> list;
  for (const SystemWindow* window : g_windows) {
    SystemWindowInfo info;
    SDL_GetWindowPosition(window->sdl, &info.x, &info.y);
    SDL_GetWindowSize(window->sdl, &info.width, &info.height);
    info.fullScreen = window->fullScreen;
    if (window->childDisplay != nullptr) {
      info.x11Window = window->childWindow;
    } else {
      SDL_SysWMinfo wm;
      SDL_VERSION(&wm.version);
      if (SDL_GetWindowWMInfo(window->sdl, &wm) && wm.subsystem == SDL_SYSWM_X11) {
        info.x11Window = wm.info.x11.window;
      }
    }
    list.push_back(info);
  }
  return list;
}

}  // namespace klx
