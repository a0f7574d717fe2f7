#include "support/test_renderer.h"

#include "core/builtin_module.h"
#include "core/module.h"
#include "platform/displays.h"

namespace klx::test {

TestRenderer* TestRenderer::current = nullptr;
std::function<void(TestRenderer&)> TestRenderer::onPresent;
int32_t TestRenderer::lostFrames = 0;

TestRenderer::TestRenderer() {
  current = this;
  videoHeld_ = AcquireVideo();
  if (!videoHeld_) return;
  // Every mode of the first display, full screen, then one windowed
  // configuration; the default is the desktop mode, or the windowed one
  // where the display reports no usable mode (the offscreen driver).
  DisplayMode desktop;
  const bool hasDesktop = GetDesktopDisplayMode(0, &desktop);
  for (const DisplayMode& mode : ListDisplayModes(0)) {
    if (mode.width <= 0 || mode.height <= 0) continue;
    DisplayConfiguration configuration;
    configuration.width = mode.width;
    configuration.height = mode.height;
    configuration.fullScreen = true;
    configuration.colorBits = mode.colorBits;
    if (hasDesktop && defaultConfiguration_ < 0 && SameMode(mode, desktop)) {
      defaultConfiguration_ = configurations_.Count();
    }
    configurations_.Append(configuration);
  }
  DisplayConfiguration windowed;
  if (defaultConfiguration_ < 0) defaultConfiguration_ = configurations_.Count();
  configurations_.Append(windowed);
}

TestRenderer::~TestRenderer() {
  if (GetWindow() != nullptr) CloseWindow();
  if (videoHeld_) ReleaseVideo();
  if (current == this) current = nullptr;
}

int TestRenderer::CreateDevice(int32_t, const String&, uint64_t, int32_t, int32_t, int32_t, int32_t) {
  ++devicesCreated;
  return 0;
}

int TestRenderer::ReleaseDevice() { return 0; }

void TestRenderer::Clear(uint32_t flags, const Color& color, float, uint32_t) {
  ++clears;
  lastClearFlags = flags;
  if ((flags & kClearTarget) != 0) clearColor_ = color;
}

int TestRenderer::BeginScene() {
  ++scenesBegun;
  if (lostFrames > 0) {
    --lostFrames;
    return 1;
  }
  return 0;
}

void TestRenderer::EndScene() {
  ++presents;
  if (onPresent) onPresent(*this);
}

void TestRenderer::SetGamma(int32_t value) { gamma = value; }

namespace {
int CreateTestRenderer(Renderer** out) {
  if (out == nullptr || GetRenderer() != nullptr) return 1;
  *out = new TestRenderer();
  return 0;
}
}  // namespace

}  // namespace klx::test

KLX_BUILTIN_MODULE(TestRenderer, "TestRenderer",
                   ::klx::BuiltinSymbol{"CreateRenderer",
                                        reinterpret_cast<::klx::ModuleSymbol>(
                                            static_cast<::klx::CreateRendererEntry>(
                                                &::klx::test::CreateTestRenderer))})
