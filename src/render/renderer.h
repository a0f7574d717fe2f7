#pragma once
// The renderer: the one object all drawing goes through, created by a
// renderer module ("CreateRenderer") and kept as the process's current
// renderer. This base holds the display configurations and the render
// window and opens and closes the window; a device implementation supplies
// the device operations.

#include <cstdint>

#include "core/array.h"
#include "core/engine_string.h"
#include "core/math_types.h"
#include "core/ref_counted.h"

namespace klx {

struct SystemWindow;
class Module;
class Buffer;
class OcclusionQuery;

// One usable video configuration.
struct DisplayConfiguration {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;   // 0 for windowed configurations
  int32_t height = 0;
  bool fullScreen = false;
  int32_t colorBits = 32;
  int32_t redBits = 8;
  int32_t greenBits = 8;
  int32_t blueBits = 8;
  int32_t alphaBits = 8;
  int32_t depthBits = 24;
  int32_t stencilBits = 8;
  int32_t samples = 1;
};

// Clear flags.
enum ClearFlags : uint32_t {
  kClearTarget = 1,
  kClearDepth = 2,
  kClearStencil = 4,
};

class Renderer : public RefCounted {
 public:
  Renderer() = default;
  ~Renderer() override;
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Opens the render window for a configuration (closing an open one
  // first), then creates the device: 0, 1 (logged) or 3 for an unknown
  // configuration. Full-screen configurations are placed at (0, 0) with
  // their size; windowed ones at the given rectangle.
  int OpenWindow(int32_t configuration, const String& title, uint64_t parentWindow, int32_t x,
                 int32_t y, int32_t width, int32_t height);
  // Releases the device and destroys the window: 0, 1, or 3 when none is
  // open.
  int CloseWindow();
  // 0 when the frame may be drawn (the device is usable).
  int BeginFrame();
  void EndFrame();

  int32_t GetConfigurationCount() const { return configurations_.Count(); }
  const DisplayConfiguration& GetConfiguration(int32_t index) const { return configurations_[index]; }
  // The full-screen configuration matching the desktop mode; -1 if none.
  int32_t GetDefaultConfiguration() const { return defaultConfiguration_; }
  // The configuration the window was opened with; -1 while closed.
  int32_t GetCurrentConfiguration() const { return window_ != nullptr ? currentConfiguration_ : -1; }
  SystemWindow* GetWindow() const { return window_; }
  const Color& GetClearColor() const { return clearColor_; }

  // Device copies of engine resources: the copy goes, the resource's handle
  // is cleared (so the data is uploaded again on next use). Here only the
  // handle is cleared; a device implementation releases its object first.
  virtual void ReleaseBuffer(Buffer* buffer);
  virtual void ReleaseQuery(OcclusionQuery* query);

  // Device operations.
  virtual int CreateDevice(int32_t configuration, const String& title, uint64_t parentWindow,
                           int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual int ReleaseDevice() = 0;
  // Flags: kClearTarget, kClearDepth, kClearStencil. With the target flag
  // the colour also becomes the stored clear colour.
  virtual void Clear(uint32_t flags, const Color& color, float depth, uint32_t stencil) = 0;
  // 1 when the device is lost.
  virtual int BeginScene() = 0;
  // Ends the scene and presents it.
  virtual void EndScene() = 0;
  virtual void SetGamma(int32_t gamma) = 0;

 protected:
  Array<DisplayConfiguration> configurations_{8, 8};
  int32_t defaultConfiguration_ = -1;
  Color clearColor_;

 private:
  SystemWindow* window_ = nullptr;
  int32_t currentConfiguration_ = -1;
};

using CreateRendererEntry = int (*)(Renderer** out);

// The current renderer, or null (no reference added).
Renderer* GetRenderer();
// Loads the renderer module of that name and makes its renderer current:
// 0, 1 when the module's "CreateRenderer" fails, 3 when the module or the
// function is missing (each logged).
int LoadRenderer(const String& moduleName);
// Drops the current renderer and its module.
void ReleaseRenderer();

}  // namespace klx
