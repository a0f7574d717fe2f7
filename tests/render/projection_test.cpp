// The lens on screens of any shape: the renderer hands the screen's aspect
// to the camera it shows, a ball in the middle of the picture comes out
// round, and drawing into a texture leaves the screen's lens alone.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "assets/image.h"
#include "offscreen_renderer.h"
#include "render/device_renderer.h"
#include "render/effects/material_effects.h"
#include "render/texture.h"
#include "scene/camera.h"
#include "scene/data_buffer.h"
#include "scene/geometry_node.h"
#include "scene/transform.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

constexpr float kPi = 3.14159265f;

// A ball of radius 1 at the origin, its facets wound clockwise from outside.
Ref<Triangles> Ball(GeometryNodeEffect* effect) {
  const int rings = 24, segments = 48;
  std::vector<Vector3> positions;
  for (int r = 0; r <= rings; ++r) {
    const float polar = kPi * r / rings;
    for (int s = 0; s <= segments; ++s) {
      const float azimuth = 2.0f * kPi * s / segments;
      positions.push_back({std::sin(polar) * std::cos(azimuth), std::cos(polar), std::sin(polar) * std::sin(azimuth)});
    }
  }
  std::vector<int32_t> indices;
  for (int r = 0; r < rings; ++r) {
    for (int s = 0; s < segments; ++s) {
      const int32_t a = r * (segments + 1) + s, b = a + 1, c = a + segments + 1, d = c + 1;
      indices.insert(indices.end(), {a, b, d, a, d, c});
    }
  }
  Ref<Triangles> ball(new Triangles(String("ball")));
  ball->SetVertexBuffer(
      Ref<Vector3Buffer>(new Vector3Buffer(String(), static_cast<int32_t>(positions.size()), positions.data())).Get());
  ball->SetIndexBuffer(
      Ref<IntBuffer>(new IntBuffer(String(), static_cast<int32_t>(indices.size()), indices.data())).Get());
  ball->UpdateModelBound();
  ball->SetEffect(effect);
  ball->UpdateGeometricState(0, false);
  return ball;
}

class Projection : public test::EngineTest {
 protected:
  // The width and height in pixels of what the ball covers, drawn from 6
  // units away in a window of that size.
  void MeasureBall(int32_t width, int32_t height, int* across, int* down) {
    DeviceRenderer* renderer = OpenOffscreenRenderer(width, height, "projection");
    if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
    {
      Ref<Camera> camera(new Camera(String("cam")));
      SetTranslation(camera->LocalTransform(), {0, 0, -6});
      camera->SetFieldOfView(0.9f);
      camera->Update(0);
      renderer->SetCamera(camera.Get());
      EXPECT_FLOAT_EQ(camera->GetAspect(), static_cast<float>(width) / height);
      camera->Update(0);
      Ref<ColorEffect> red(new ColorEffect(String("red")));
      red->SetColor(Color{1, 0, 0, 1});
      red->cull = false;
      Ref<Triangles> ball = Ball(red.Get());
      renderer->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
      ASSERT_EQ(renderer->BeginFrame(), kOk);
      ball->Draw(renderer);
      renderer->EndFrame();
      std::vector<uint8_t> rgba;
      ASSERT_TRUE(renderer->GetDevice()->ReadPixels(0, 0, width, height, &rgba));
      int left = width, right = -1, top = height, bottom = -1;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          if (rgba[(static_cast<size_t>(y) * width + x) * 4] < 128) continue;
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
      }
      *across = right - left + 1;
      *down = bottom - top + 1;
      renderer->SetCamera(nullptr);
    }
    ReleaseRenderer();
  }
};

TEST_F(Projection, ABallInTheMiddleIsRoundOnWideAndSquarerScreens) {
  for (const auto& size : {std::pair{1280, 720}, std::pair{1024, 768}}) {
    int across = 0, down = 0;
    MeasureBall(size.first, size.second, &across, &down);
    if (IsSkipped()) return;
    // About a third of the picture's height, and as wide as it is high.
    EXPECT_GT(down, size.second / 5) << size.first << "x" << size.second;
    EXPECT_NEAR(across, down, 1) << size.first << "x" << size.second;
  }
}

TEST_F(Projection, TheScreensViewportSetsTheAspectAndATextureTargetDoesNot) {
  DeviceRenderer* renderer = OpenOffscreenRenderer(320, 180, "projection");
  if (renderer == nullptr) GTEST_SKIP() << "no GL renderer here";
  {
    EXPECT_FLOAT_EQ(renderer->GetScreenAspect(), 16.0f / 9.0f);
    Ref<Camera> camera(new Camera(String("cam")));
    renderer->SetCamera(camera.Get());
    EXPECT_FLOAT_EQ(camera->GetAspect(), 16.0f / 9.0f);
    // A letterboxed screen: the narrower band is what the camera fills.
    renderer->SetViewport(Vector2{0, 30}, Vector2{320, 120});
    EXPECT_FLOAT_EQ(camera->GetAspect(), 320.0f / 120.0f);
    // A square texture target and its viewport leave the lens as it was.
    Ref<Texture> target(new Texture(String("target")));
    target->SetImage(Ref<Image>(new Image(String("target"), kImageRGBA8, 32, 32)).Get());
    ASSERT_EQ(renderer->BeginFrame(), kOk);
    ASSERT_EQ(renderer->BeginRenderToTexture(target.Get()), kOk);
    renderer->SetViewport(Vector2{0, 0}, Vector2{32, 32});
    EXPECT_EQ(renderer->GetViewportWidth(), 32);
    EXPECT_FLOAT_EQ(camera->GetAspect(), 320.0f / 120.0f);
    EXPECT_EQ(renderer->BeginRenderToTexture(nullptr), kOk);
    renderer->EndFrame();
    renderer->SetViewport(Vector2{0, 0}, Vector2{320, 180});
    EXPECT_FLOAT_EQ(camera->GetAspect(), 16.0f / 9.0f);
    renderer->SetCamera(nullptr);
    target = nullptr;
  }
  ReleaseRenderer();
}

}  // namespace
}  // namespace klx
