#pragma once
// A renderer stand-in for tests of the saver's windows and frame loop: it
// offers the displays' desktop modes (and a windowed configuration), opens
// real system windows, and counts what the frame loop asks of it without
// drawing. The test program registers it as the built-in renderer module
// "TestRenderer".

#include <functional>

#include "render/renderer.h"

namespace klx::test {

class TestRenderer : public Renderer {
 public:
  TestRenderer();
  ~TestRenderer() override;

  int CreateDevice(int32_t configuration, const String& title, uint64_t parentWindow, int32_t x,
                   int32_t y, int32_t width, int32_t height) override;
  int ReleaseDevice() override;
  void Clear(uint32_t flags, const Color& color, float depth, uint32_t stencil) override;
  int BeginScene() override;
  void EndScene() override;
  void SetGamma(int32_t gamma) override;

  int32_t devicesCreated = 0;
  int32_t clears = 0;
  int32_t scenesBegun = 0;
  int32_t presents = 0;
  int32_t gamma = -1000;
  uint32_t lastClearFlags = 0;

  // The renderer made last by the module, or null once it is gone.
  static TestRenderer* current;
  // Called after every present with the number of presents so far.
  static std::function<void(TestRenderer&)> onPresent;
  // How many of the next BeginScene calls report a lost device.
  static int32_t lostFrames;

 private:
  bool videoHeld_ = false;
};

}  // namespace klx::test
