// System windows on a real X server (run under Xvfb, or under Xorg with two
// dummy displays): placement, the window class, children of a foreign
// window, input through the event pump, and a frame loop stopped by a key
// that xdotool sends. Every test skips without an X display.

#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <csignal>
#include <memory>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/displays.h"
#include "device/device.h"
#include "gl/gl_device.h"
#include "platform/input_manager.h"
#include "platform/system_events.h"
#include "platform/system_window.h"
#include "support/image_test_support.h"
#include "support/log_capture.h"
#include "support/recording_saver.h"
#include "support/test_renderer.h"

namespace klx {
namespace {

using test::Text;

bool HaveX11Display() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && display[0] != '\0';
}

#define REQUIRE_X11()                                                   \
  do {                                                                  \
    if (!HaveX11Display()) GTEST_SKIP() << "no X display (DISPLAY unset)"; \
  } while (0)

// The desktop mode of the first display, through a short video start.
DisplayMode PrimaryDesktopMode() {
  DisplayMode mode;
  if (AcquireVideo()) {
    GetDesktopDisplayMode(0, &mode);
    ReleaseVideo();
  }
  return mode;
}

// A window of another client, as a screensaver host's preview area.
class ForeignWindow {
 public:
  ForeignWindow(int width, int height) {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return;
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 10, 10,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
    XMapWindow(display_, window_);
    XSync(display_, False);
  }
  ~ForeignWindow() {
    if (display_ == nullptr) return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  Window id() const { return window_; }
  std::vector<Window> Children() const {
    std::vector<Window> list;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XSync(display_, False);
    if (XQueryTree(display_, window_, &root, &parent, &children, &count) != 0) {
      list.assign(children, children + count);
      XFree(children);
    }
    return list;
  }
  bool Size(Window window, int* width, int* height) const {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, window, &attributes) == 0) return false;
    *width = attributes.width;
    *height = attributes.height;
    return true;
  }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
};

TEST(SystemWindow, FullScreenCoversTheDisplayAndRegistersTheClass) {
  REQUIRE_X11();
  const DisplayMode desktop = PrimaryDesktopMode();
  ASSERT_GT(desktop.width, 0);
  EXPECT_EQ(desktop.colorBits, 32);  // a four-byte format counts as 32 bits
  test::ScopedLogCapture log;
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("3D SCREENSAVER"), 0, true, 32, 0, 0, desktop.width,
                               desktop.height),
            kOk);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(log->Has(kLogInfo, Text("Создание системного окна [3D SCREENSAVER].")));
  EXPECT_STREQ(GetSystemWindowClassName().CStr(), "3D SCREENSAVER Class");
  const std::vector<SystemWindowInfo> windows = ListSystemWindows();
  ASSERT_GE(windows.size(), 1u);
  EXPECT_EQ(windows[0].x, 0);
  EXPECT_EQ(windows[0].y, 0);
  EXPECT_EQ(windows[0].width, desktop.width);
  EXPECT_EQ(windows[0].height, desktop.height);
  EXPECT_TRUE(windows[0].fullScreen);
  EXPECT_NE(GetSdlWindow(window), nullptr);

  EXPECT_EQ(DestroySystemWindow(window), kOk);
  EXPECT_TRUE(ListSystemWindows().empty());
  EXPECT_STREQ(GetSystemWindowClassName().CStr(), "");
  EXPECT_FALSE(IsVideoStarted());  // the class held the video system; nothing else does
  // Without a class, destroying fails and says so.
  EXPECT_EQ(DestroySystemWindow(nullptr), kFailed);
  EXPECT_TRUE(log->Has(kLogWarning, Text("Указатель на окно равен 0.")));
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно разрегестрировать класс системного окна.")));
}

TEST(SystemWindow, AModeNoDisplayOffersMakesNoWindowAndStillSucceeds) {
  REQUIRE_X11();
  test::ScopedLogCapture log;
  SystemWindow* window = reinterpret_cast<SystemWindow*>(1);
  EXPECT_EQ(CreateSystemWindow(&window, String("Odd"), 0, true, 32, 0, 0, 1234, 567), kOk);
  EXPECT_EQ(window, nullptr);
  EXPECT_TRUE(ListSystemWindows().empty());
  EXPECT_STREQ(GetSystemWindowClassName().CStr(), "");
  EXPECT_TRUE(log->Has(kLogWarning, Text("Указатель на окно равен 0.")));
  // A colour depth the display does not have counts the same.
  const DisplayMode desktop = PrimaryDesktopMode();
  EXPECT_EQ(CreateSystemWindow(&window, String("Odd"), 0, true, 16, 0, 0, desktop.width, desktop.height),
            kOk);
  EXPECT_EQ(window, nullptr);
}

TEST(SystemWindow, WindowedGetsTheClientAreaOnEveryDisplay) {
  REQUIRE_X11();
  test::ScopedLogCapture log;
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("Windowed"), 0, false, 32, 30, 40, 640, 480), kOk);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(AcquireVideo());
  const size_t displays = ListDisplayDevices().size();
  ReleaseVideo();
  const std::vector<SystemWindowInfo> windows = ListSystemWindows();
  EXPECT_EQ(windows.size(), displays);
  for (const SystemWindowInfo& info : windows) {
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_FALSE(info.fullScreen);
  }
  EXPECT_EQ(DestroySystemWindow(window), kOk);
}

TEST(SystemWindow, AChildFillsTheForeignParentAndGoesWithIt) {
  REQUIRE_X11();
  ForeignWindow host(320, 200);
  ASSERT_NE(host.id(), 0u);
  test::ScopedLogCapture log;
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("Preview"), host.id(), false, 32, 0, 0, 0, 0), kOk);
  ASSERT_NE(window, nullptr);
  const std::vector<SystemWindowInfo> windows = ListSystemWindows();
  ASSERT_EQ(windows.size(), 1u);
  const std::vector<Window> children = host.Children();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], windows[0].x11Window);
  int width = 0, height = 0;
  ASSERT_TRUE(host.Size(children[0], &width, &height));
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 200);
  EXPECT_EQ(DestroySystemWindow(window), kOk);
  EXPECT_TRUE(host.Children().empty());
}

TEST(SystemWindow, AMissingParentOrOutPointerFails) {
  REQUIRE_X11();
  test::ScopedLogCapture log;
  SystemWindow* window = nullptr;
  EXPECT_EQ(CreateSystemWindow(&window, String("Orphan"), 0x1FFFFFFE, false, 32, 0, 0, 0, 0), kFailed);
  EXPECT_EQ(window, nullptr);
  EXPECT_TRUE(log->Has(kLogError, Text("Невозможно создать окно [Orphan].")));
  EXPECT_STREQ(GetSystemWindowClassName().CStr(), "");
  EXPECT_EQ(CreateSystemWindow(nullptr, String("Null"), 0, false, 32, 0, 0, 64, 64), kInvalidArg);
  EXPECT_TRUE(log->Has(kLogError, Text("Указатель на окно равен 0.")));
}

// Collects events delivered by the input manager.
class Collector : public InputHandler {
 public:
  void OnInputEvent(const InputEvent& event) override { events.push_back(event); }
  bool Has(const InputEvent& wanted) const {
    for (const InputEvent& event : events) {
      if (event == wanted) return true;
    }
    return false;
  }
  std::vector<InputEvent> events;
};

// Pumps until the wanted event arrives or five seconds pass (a busy
// machine may be slow to deliver).
bool PumpUntil(const Collector& collector, const InputEvent& wanted) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    InputManager::ProcessInput();
    if (collector.Has(wanted)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

int Shell(const std::string& command) { return std::system(command.c_str()); }

TEST(EventPump, KeysButtonsAndMovesFromXdotool) {
  REQUIRE_X11();
  if (Shell("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
  test::ScopedLogCapture log;
  ASSERT_EQ(InputManager::Startup(), kOk);
  Ref<Collector> collector(new Collector());
  ASSERT_EQ(InputManager::RegisterInputHandler(collector.Get()), kOk);
  const DisplayMode desktop = PrimaryDesktopMode();
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("Input"), 0, true, 32, 0, 0, desktop.width,
                               desktop.height),
            kOk);
  ASSERT_NE(window, nullptr);
  InputManager::ProcessInput();  // let the window appear

  ASSERT_EQ(Shell("xdotool mousemove 640 480"), 0);
  EXPECT_TRUE(PumpUntil(*collector, InputEvent{kInputMouse, kInputMove, 640, 480}));
  ASSERT_EQ(Shell("xdotool key q"), 0);
  EXPECT_TRUE(PumpUntil(*collector, InputEvent{kInputKeyboard, kInputPress, 26, 0}));
  EXPECT_TRUE(PumpUntil(*collector, InputEvent{kInputKeyboard, kInputRelease, 26, 0}));
  ASSERT_EQ(Shell("xdotool key shift"), 0);
  EXPECT_TRUE(PumpUntil(*collector, InputEvent{kInputKeyboard, kInputPress, 100, 0}));
  ASSERT_EQ(Shell("xdotool click 3"), 0);
  EXPECT_TRUE(PumpUntil(*collector, InputEvent{kInputMouse, kInputPress, kMouseRight, 0}));
  EXPECT_TRUE(PumpUntil(*collector, InputEvent{kInputMouse, kInputRelease, kMouseRight, 0}));

  EXPECT_EQ(DestroySystemWindow(window), kOk);
  EXPECT_EQ(InputManager::Shutdown(), kOk);
}

TEST(FrameLoop, AKeyFromXdotoolStopsTheSaver) {
  REQUIRE_X11();
  if (Shell("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
  test::ScratchFolder scratch;
  setenv("XDG_CONFIG_HOME", (scratch.path() + "/config").c_str(), 1);
  test::ScopedLogCapture log;
  Ref<test::RecordingSaver> saver(new test::RecordingSaver());
  saver->SetCommandLine("klx-saver /s");
  saver->SetRendererModuleName(String("TestRenderer"));
  saver->SetShutdownPause(0);
  test::TestRenderer::onPresent = [](test::TestRenderer& renderer) {
    if (renderer.presents == 3) std::system("xdotool mousemove 100 100 key space");
  };
  ASSERT_EQ(saver->Initialize(), kOk);
  const std::vector<SystemWindowInfo> windows = ListSystemWindows();
  ASSERT_FALSE(windows.empty());
  EXPECT_TRUE(windows[0].fullScreen);
  EXPECT_EQ(saver->GetDisplayWidth(), windows[0].width);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  EXPECT_EQ(saver->Run(), kOk);
  test::TestRenderer::onPresent = nullptr;
  EXPECT_GE(test::TestRenderer::current->presents, 3);
  EXPECT_TRUE(std::find(saver->events.begin(), saver->events.end(),
                        InputEvent{kInputKeyboard, kInputPress, 97, 0}) != saver->events.end());
  EXPECT_EQ(saver->Shutdown(), kOk);
  EXPECT_TRUE(ListSystemWindows().empty());
  unsetenv("XDG_CONFIG_HOME");
}

// A hosted run draws into the host's window at that window's size, leaves
// input and the gamma ramp to the host, and ends when the window goes.
TEST(FrameLoop, AHostedRunIgnoresInputAndEndsWithTheHostWindow) {
  REQUIRE_X11();
  if (Shell("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
  test::ScratchFolder scratch;
  setenv("XDG_CONFIG_HOME", (scratch.path() + "/config").c_str(), 1);
  auto host = std::make_unique<ForeignWindow>(400, 300);
  ASSERT_NE(host->id(), 0u);
  test::ScopedLogCapture log;
  Ref<test::RecordingSaver> saver(new test::RecordingSaver());
  char idText[32];
  std::snprintf(idText, sizeof idText, "0x%lx", static_cast<unsigned long>(host->id()));
  saver->SetCommandLine(std::string("klx-saver -window-id ") + idText + " -no-clock -fps");
  saver->SetRendererModuleName(String("TestRenderer"));
  saver->SetShutdownPause(0);
  test::TestRenderer::onPresent = [&host](test::TestRenderer& renderer) {
    if (renderer.presents == 3) std::system("xdotool mousemove 100 100 click 1 key space");
    if (renderer.presents == 40) host.reset();  // the host closes its window
  };
  ASSERT_EQ(saver->Initialize(), kOk);
  EXPECT_TRUE(saver->IsHosted());
  EXPECT_EQ(saver->GetMode(), kSaverModeSaver);
  EXPECT_FALSE(saver->GetSettings().showTime);  // the command line's settings
  EXPECT_TRUE(saver->GetSettings().showFps);
  const std::vector<SystemWindowInfo> windows = ListSystemWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_FALSE(windows[0].fullScreen);
  EXPECT_EQ(windows[0].width, 400);
  EXPECT_EQ(windows[0].height, 300);
  EXPECT_EQ(test::TestRenderer::current->gamma, -1000);  // never set
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(saver->Run(), kOk);
  test::TestRenderer::onPresent = nullptr;
  EXPECT_GE(test::TestRenderer::current->presents, 40);  // the key did not end it
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_TRUE(log->Has(kLogInfo, Text("Окно хоста закрыто.")));
  EXPECT_EQ(saver->Shutdown(), kOk);
  EXPECT_TRUE(ListSystemWindows().empty());
  unsetenv("XDG_CONFIG_HOME");
}

// The GL device in a child of a foreign window: the back buffer takes the
// host window's size and what it presents lands in the host's window.
TEST(GlOnX11, DrawsIntoAChildOfAForeignWindow) {
  REQUIRE_X11();
  ForeignWindow host(300, 200);
  ASSERT_NE(host.id(), 0u);
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("Hosted"), host.id(), false, 32, 0, 0, 0, 0), kOk);
  ASSERT_NE(window, nullptr);
  std::string error;
  std::unique_ptr<d3d::Device> device = d3d::CreateGlDevice(GetSdlWindow(window), d3d::DeviceSettings{}, &error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_EQ(device->GetTargetWidth(), 300u);
  EXPECT_EQ(device->GetTargetHeight(), 200u);
  device->Clear(d3d::kClearTarget | d3d::kClearZBuffer, d3d::ColorArgb(255, 0, 255, 0), 1.0f, 0);
  device->Present();
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const Window child = static_cast<Window>(ListSystemWindows()[0].x11Window);
  unsigned long pixel = 0;
  for (int attempt = 0; attempt < 50 && (pixel & 0xFFFFFF) != 0x00FF00; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    XImage* image = XGetImage(display, child, 150, 100, 1, 1, AllPlanes, ZPixmap);
    pixel = image != nullptr ? XGetPixel(image, 0, 0) : 0;
    if (image != nullptr) XDestroyImage(image);
  }
  XCloseDisplay(display);
  EXPECT_EQ(pixel & 0xFFFFFF, 0x00FF00u);
  device.reset();
  EXPECT_EQ(DestroySystemWindow(window), kOk);
}

// The crashing side of the gamma test, in a fresh process of this program
// (its own X connection): sets a dim ramp on a focused window, reports
// "colormap pixel red-before red-set" (or "skip") on the descriptor, keeps
// its X resources past its death (RetainTemporary) and crashes.
[[noreturn]] void CrashWithADimRamp(int channel) {
  auto report = [&](const std::string& text) {
    if (write(channel, text.data(), text.size()) < 0) _exit(3);
    close(channel);
  };
  SystemWindow* window = nullptr;
  if (CreateSystemWindow(&window, String("Gamma"), 0, false, 32, 0, 0, 64, 64) != kOk) _exit(2);
  std::unique_ptr<d3d::Device> device = d3d::CreateGlDevice(GetSdlWindow(window), d3d::DeviceSettings{}, nullptr);
  if (!device) _exit(2);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(GetSdlWindow(window), &info) || info.subsystem != SDL_SYSWM_X11) _exit(2);
  Display* display = info.info.x11.display;
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, info.info.x11.window, &attributes);
  if (attributes.visual->c_class != DirectColor) {
    report("skip");
    _exit(0);
  }
  // The red of the middle cell, as the server holds it.
  const unsigned long middle = 128ul * (attributes.visual->red_mask & -attributes.visual->red_mask);
  auto middleRed = [&] {
    XColor color{};
    color.pixel = middle;
    XQueryColors(display, attributes.colormap, &color, 1);
    return static_cast<unsigned>(color.red);
  };
  const unsigned before = middleRed();
  // A window's ramp reaches the display only while it has the focus.
  SDL_SetWindowInputFocus(GetSdlWindow(window));
  for (int wait = 0; wait < 200 && (SDL_GetWindowFlags(GetSdlWindow(window)) & SDL_WINDOW_INPUT_FOCUS) == 0; ++wait) {
    SDL_PumpEvents();
    SDL_Delay(10);
  }
  uint16_t dim[3][256];
  for (int i = 0; i < 256; ++i) dim[0][i] = dim[1][i] = dim[2][i] = static_cast<uint16_t>(i * 64);
  if (!device->SetGammaRamp(dim)) _exit(2);
  XSetCloseDownMode(display, RetainTemporary);
  report(std::to_string(attributes.colormap) + " " + std::to_string(middle) + " " + std::to_string(before) + " " +
         std::to_string(middleRed()));
  std::raise(SIGSEGV);
  _exit(1);
}

// A crash while the saver's ramp is set gives the window its own ramp
// back before the process dies; the parent reads the dead child's colour
// map as the crash left it.
TEST(GlOnX11, ACrashSignalGivesTheGammaRampBack) {
  REQUIRE_X11();
  if (const char* channel = std::getenv("KLX_GAMMA_CRASH_CHANNEL")) CrashWithADimRamp(std::atoi(channel));
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(channel[0]);
    setenv("KLX_GAMMA_CRASH_CHANNEL", std::to_string(channel[1]).c_str(), 1);
    execl("/proc/self/exe", "klx_display_tests", "--gtest_filter=GlOnX11.ACrashSignalGivesTheGammaRampBack",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(channel[1]);
  char text[128] = {};
  const ssize_t length = read(channel[0], text, sizeof text - 1);
  close(channel[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_GT(length, 0) << "the child ended before it set the ramp, status " << status;
  if (std::string(text) == "skip") GTEST_SKIP() << "the window has no DirectColor visual, so no ramp";
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  unsigned long colormap = 0, middle = 0;
  unsigned before = 0, dimmed = 0;
  ASSERT_EQ(std::sscanf(text, "%lu %lu %u %u", &colormap, &middle, &before, &dimmed), 4) << text;
  EXPECT_NEAR(dimmed, 128u * 64u, 257u);  // the server keeps 8 bits of each
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  XColor color{};
  color.pixel = middle;
  XQueryColors(display, colormap, &color, 1);
  XKillClient(display, AllTemporary);  // the dead child's window and map go
  XCloseDisplay(display);
  EXPECT_EQ(color.red, before);
  EXPECT_NE(color.red, dimmed);
}

// The first display's mode is one the second does not offer: the second is
// still covered, at its own size.
TEST(TwoDisplays, OneFullScreenWindowOnEachDisplay) {
  REQUIRE_X11();
  ASSERT_TRUE(AcquireVideo());
  const std::vector<DisplayDevice> devices = ListDisplayDevices();
  ReleaseVideo();
  const char* expected = std::getenv("KLX_EXPECT_DISPLAYS");
  if (devices.size() < 2) {
    ASSERT_EQ(expected, nullptr) << "the X server was set up with two displays, SDL sees "
                                 << devices.size();
    GTEST_SKIP() << "one display only";
  }
  test::ScopedLogCapture log;
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("Twins"), 0, true, 32, 0, 0, devices[0].width,
                               devices[0].height),
            kOk);
  ASSERT_NE(window, nullptr);
  const std::vector<SystemWindowInfo> windows = ListSystemWindows();
  ASSERT_EQ(windows.size(), devices.size());
  for (size_t i = 0; i < windows.size(); ++i) {
    EXPECT_EQ(windows[i].x, devices[i].x) << i;
    EXPECT_EQ(windows[i].y, devices[i].y) << i;
    EXPECT_EQ(windows[i].width, devices[i].width) << i;
    EXPECT_EQ(windows[i].height, devices[i].height) << i;
    EXPECT_TRUE(windows[i].fullScreen) << i;
  }
  EXPECT_EQ(DestroySystemWindow(window), kOk);  // the owned window goes with it
  EXPECT_TRUE(ListSystemWindows().empty());
}

// The GL device on a real X window: what Present shows is the back buffer
// the right way up (Direct3D's top row at the top of the window).
TEST(GlOnX11, PresentShowsTheBackBufferTheRightWayUp) {
  REQUIRE_X11();
  const DisplayMode desktop = PrimaryDesktopMode();
  SystemWindow* window = nullptr;
  ASSERT_EQ(CreateSystemWindow(&window, String("GL"), 0, true, 32, 0, 0, desktop.width, desktop.height), kOk);
  ASSERT_NE(window, nullptr);
  std::string error;
  std::unique_ptr<d3d::Device> device = d3d::CreateGlDevice(GetSdlWindow(window), d3d::DeviceSettings{}, &error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_EQ(device->GetTargetWidth(), static_cast<uint32_t>(desktop.width));

  struct Vertex {
    float x, y, z;
    uint32_t color;
  };
  const uint32_t red = d3d::ColorArgb(255, 255, 0, 0);
  const Vertex top[6] = {{-1, 1, 0.5f, red}, {1, 1, 0.5f, red}, {1, 0, 0.5f, red},
                         {-1, 1, 0.5f, red}, {1, 0, 0.5f, red}, {-1, 0, 0.5f, red}};
  auto buffer = device->CreateVertexBuffer(sizeof top);
  buffer->Write(0, top, sizeof top);
  auto declaration = device->CreateVertexDeclaration(
      {{0, 0, d3d::kDeclFloat3, d3d::kUsagePosition, 0}, {0, 12, d3d::kDeclColor, d3d::kUsageColor, 0}});
  device->SetRenderState(d3d::kRsLighting, 0);
  device->SetTextureStageState(0, d3d::kTssColorOp, d3d::kTopSelectArg1);
  device->SetTextureStageState(0, d3d::kTssColorArg1, d3d::kTaDiffuse);
  device->SetVertexDeclaration(declaration.get());
  device->SetStreamSource(0, buffer.get(), 0, sizeof(Vertex));
  device->Clear(d3d::kClearTarget | d3d::kClearZBuffer, d3d::ColorArgb(255, 0, 0, 255), 1.0f, 0);
  device->DrawPrimitive(d3d::kPtTriangleList, 0, 2);
  device->Present();

  // Read the window back through X.
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const Window id = static_cast<Window>(ListSystemWindows()[0].x11Window);
  auto pixelAt = [&](int x, int y) {
    XImage* image = XGetImage(display, id, x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long pixel = image != nullptr ? XGetPixel(image, 0, 0) : 0;
    if (image != nullptr) XDestroyImage(image);
    return pixel & 0xFFFFFF;
  };
  // The copy to the window may reach the server a little later.
  unsigned long upper = 0, lower = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    XSync(display, False);
    upper = pixelAt(20, 20);
    lower = pixelAt(20, desktop.height - 20);
    if (upper == 0xFF0000u && lower == 0x0000FFu) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(upper, 0xFF0000u);
  EXPECT_EQ(lower, 0x0000FFu);
  XCloseDisplay(display);
  buffer.reset();
  declaration.reset();
  device.reset();
  EXPECT_EQ(DestroySystemWindow(window), kOk);
}

// The saver's preview: "/p <xid>" paints its picture into a child of the
// host's window and ends when the host's window goes.
TEST(Preview, PaintsThePictureIntoTheHostWindowAndEndsWithIt) {
  REQUIRE_X11();
  test::ScratchFolder scratch;
  auto host = std::make_unique<ForeignWindow>(200, 150);
  ASSERT_NE(host->id(), 0u);
  const std::string parent = std::to_string(host->id());
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("XDG_DATA_HOME", (scratch.path() + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch.path() + "/config").c_str(), 1);
    setenv("KLX_NO_MESSAGE_BOXES", "1", 1);
    execl(KLX_SAVER_PATH, "klx-saver", "/p", parent.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // The child window appears and gets painted.
  bool painted = false;
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  for (int attempt = 0; attempt < 100 && !painted; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::vector<Window> children = host->Children();
    if (children.size() != 1) continue;
    XImage* image = XGetImage(display, children[0], 0, 0, 200, 150, AllPlanes, ZPixmap);
    if (image == nullptr) continue;
    const unsigned long top = XGetPixel(image, 100, 3);
    const unsigned long middle = XGetPixel(image, 150, 93);
    const unsigned long bottom = XGetPixel(image, 20, 146);
    XDestroyImage(image);
    // The evening picture: blue sky at the top, the lake reflecting the
    // sunset just below the horizon, dark blue water at the bottom.
    auto red = [](unsigned long pixel) { return static_cast<int>((pixel >> 16) & 0xFF); };
    auto blue = [](unsigned long pixel) { return static_cast<int>(pixel & 0xFF); };
    painted = blue(top) > red(top) + 30 && red(middle) > blue(middle) + 40 && blue(bottom) > red(bottom);
  }
  XCloseDisplay(display);
  EXPECT_TRUE(painted);
  // The host closes its dialog: the saver ends on its own, successfully.
  host.reset();
  int status = -1;
  for (int attempt = 0; attempt < 60; ++attempt) {
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!WIFEXITED(status)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the preview did not end when its host window went";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace klx
