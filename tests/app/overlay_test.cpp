// The overlay: clock and frame-rate texts, where the counter and the clock
// land on a headless frame, and the loading screen's picture and tiles.
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "app/overlay.h"
#include "assets/codecs/image_codecs.h"
#include "core/codec_manager.h"
#include "offscreen_renderer.h"
#include "render/device_renderer.h"
#include "scene/camera.h"
#include "support/engine_fixture.h"
#include "vfs/file_manager.h"

namespace klx {
namespace {

std::tm At(int hour, int minute, int second) {
  std::tm time{};
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(OverlayText, ClockInBothModesAndTheFrameRateRoundedUp) {
  EXPECT_EQ(ClockText(At(0, 5, 7), false), "0:05:07 am ");
  EXPECT_EQ(ClockText(At(0, 5, 7), true), "0:05:07");
  EXPECT_EQ(ClockText(At(12, 30, 0), false), "12:30:00 pm ");
  EXPECT_EQ(ClockText(At(23, 59, 9), false), "11:59:09 pm ");
  EXPECT_EQ(ClockText(At(23, 59, 9), true), "23:59:09");
  EXPECT_EQ(ClockText(At(11, 10, 10), false), "11:10:10 am ");
  EXPECT_EQ(FrameRateText(59.2), "60");
  EXPECT_EQ(FrameRateText(60.0), "60");
  EXPECT_EQ(FrameRateText(0.0), "0");
}

class OverlayFrames : public test::EngineTest {
 protected:
  void SetUp() override {
    test::EngineTest::SetUp();
    ASSERT_EQ(LoadBuiltinImageCodecs(), kOk);
    ASSERT_EQ(CodecManager::LoadCodec(String("RAR2FileCodec"), nullptr), kOk);
    ASSERT_EQ(FileManager::AttachResourceArchive(134, String("CustomData.rar2"), String()), kOk);
    renderer_ = OpenOffscreenRenderer(kWidth, kHeight, "overlay");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
  }
  void TearDown() override {
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  // Pixels brighter than the clear colour in a box given in unit screen
  // coordinates, (0, 0) at the bottom left.
  int BrightIn(const std::vector<uint8_t>& rgba, float x0, float y0, float x1, float y1) {
    int bright = 0;
    for (int y = static_cast<int>(y0 * kHeight); y < static_cast<int>(y1 * kHeight); ++y) {
      for (int x = static_cast<int>(x0 * kWidth); x < static_cast<int>(x1 * kWidth); ++x) {
        // ReadPixels gives the top row first.
        const uint8_t* p = &rgba[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4];
        bright += p[0] + p[1] + p[2] > 240;
      }
    }
    return bright;
  }

  static constexpr int kWidth = 320;
  static constexpr int kHeight = 180;
  DeviceRenderer* renderer_ = nullptr;
};

TEST_F(OverlayFrames, TheCounterSitsTopLeftAndTheClockBottomRight) {
  Overlay overlay;
  overlay.Create();
  Ref<Camera> scene(new Camera(String("scene")));
  renderer_->SetCamera(scene.Get());
  renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
  ASSERT_EQ(renderer_->BeginFrame(), kOk);
  overlay.Draw(*renderer_, true, 59.2, true, false);
  renderer_->EndFrame();
  std::vector<uint8_t> rgba;
  ASSERT_TRUE(renderer_->GetDevice()->ReadPixels(0, 0, kWidth, kHeight, &rgba));
  EXPECT_GT(BrightIn(rgba, 0.0f, 0.9f, 0.1f, 0.98f), 20);   // "60"
  EXPECT_GT(BrightIn(rgba, 0.55f, 0.02f, 1.0f, 0.1f), 60);  // "H:MM:SS am "
  EXPECT_EQ(BrightIn(rgba, 0.1f, 0.15f, 0.9f, 0.85f), 0);   // nothing between
  // The tiles' clear parts let the frame below show: no white boxes.
  EXPECT_LT(BrightIn(rgba, 0.0f, 0.9f, 0.1f, 0.98f), 0.6 * 0.1 * 0.08 * kWidth * kHeight);
  // The scene's camera is back.
  EXPECT_EQ(renderer_->GetCamera(), scene.Get());
  renderer_->SetCamera(nullptr);
}

TEST_F(OverlayFrames, TheLoadingScreenShowsItsPictureOnce) {
  Overlay overlay;
  overlay.Create();
  ASSERT_EQ(overlay.DrawLoadingScreen(*renderer_), kOk);
  std::vector<uint8_t> rgba;
  ASSERT_TRUE(renderer_->GetDevice()->ReadPixels(0, 0, kWidth, kHeight, &rgba));
  // The picture covers the clear green everywhere.
  int green = 0, dark = 0;
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    green += rgba[i] < 10 && rgba[i + 1] > 245 && rgba[i + 2] < 10;
    dark += rgba[i] + rgba[i + 1] + rgba[i + 2] < 12;
  }
  EXPECT_EQ(green, 0);
  EXPECT_LT(dark, kWidth * kHeight / 10);
  EXPECT_EQ(renderer_->GetCamera(), nullptr);
}

}  // namespace
}  // namespace klx
