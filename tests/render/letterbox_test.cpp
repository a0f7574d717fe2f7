// The letterbox film: bars of an eighth of the screen above and below while
// the film flag is set, the children drawn once either way, the renderer's
// letterbox flag following the film, the film chosen by the camera on the
// screen, and the stored form.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/scene_codec.h"
#include "core/codec_manager.h"
#include "render/device_renderer.h"
#include "render/effects/material_effects.h"
#include "render/effects/post_render_effect.h"
#include "scene/camera.h"
#include "scene/geometry_node.h"
#include "scene/scene_node.h"
#include "scene/screen_context.h"
#include "scene/transform.h"
#include "support/counting_node.h"
#include "support/engine_fixture.h"
#include "support/scene_round_trip.h"
#include "support/image_test_support.h"
#include "support/test_screen.h"
#include "vfs/virtual_file.h"
#include "offscreen_renderer.h"

namespace klx {
namespace {

using test::CountingNode;

class Letterbox : public test::EngineTest {
 protected:
  static constexpr int32_t kSize = 64;

  void SetUp() override {
    test::EngineTest::SetUp();
    renderer_ = OpenOffscreenRenderer(kSize, kSize, "letterbox");
    if (renderer_ == nullptr) GTEST_SKIP() << "no GL renderer here";
    camera_ = new Camera(String("eye"));
    SetTranslation(camera_->LocalTransform(), {0, 0, -5});
    camera_->UpdateGeometricState(0.0, true);
    renderer_->SetCamera(camera_.Get());
    // A red wall filling far more than the view, and the counter.
    const Vector3 corners[4] = {{-50, 50, 0}, {50, 50, 0}, {50, -50, 0}, {-50, -50, 0}};
    const int32_t indices[6] = {0, 1, 2, 0, 2, 3};
    Ref<Triangles> wall(new Triangles(String("wall")));
    wall->SetVertexBuffer(Ref<Vector3Buffer>(new Vector3Buffer(String(), 4, corners)).Get());
    wall->SetIndexBuffer(Ref<IntBuffer>(new IntBuffer(String(), 6, indices)).Get());
    wall->UpdateModelBound();
    Ref<ColorEffect> red(new ColorEffect(String("red")));
    red->SetColor(Color{1, 0, 0, 1});
    red->cull = false;
    wall->SetEffect(red.Get());
    film_ = new PostRenderEffect(String("film"));
    root_ = new SceneNode(String("root"));
    counter_ = new CountingNode;
    ASSERT_EQ(root_->AttachChild(wall.Get()), kOk);
    ASSERT_EQ(root_->AttachChild(counter_.Get()), kOk);
    root_->AddEffect(film_.Get());
    root_->UpdateGeometricState(0.0, false);
  }
  void TearDown() override {
    root_ = nullptr;
    film_ = nullptr;
    counter_ = nullptr;
    camera_ = nullptr;
    if (renderer_ != nullptr) ReleaseRenderer();
    test::EngineTest::TearDown();
  }

  // The red-or-not of every row down the middle column after a frame.
  std::vector<bool> RedRows() {
    renderer_->Clear(kClearTarget | kClearDepth, Color{0, 0, 0, 1}, 1.0f, 0);
    EXPECT_EQ(renderer_->BeginFrame(), kOk);
    root_->Draw(renderer_);
    renderer_->EndFrame();
    std::vector<uint8_t> rgba;
    renderer_->GetDevice()->ReadPixels(kSize / 2, 0, 1, kSize, &rgba);
    std::vector<bool> rows;
    for (int32_t y = 0; y < kSize; ++y) {
      const uint8_t* p = &rgba[static_cast<size_t>(y) * 4];
      EXPECT_TRUE((p[0] > 200 || p[0] < 10) && p[1] < 10 && p[2] < 10) << "row " << y << " is red or black";
      rows.push_back(p[0] > 200);
    }
    return rows;
  }

  DeviceRenderer* renderer_ = nullptr;
  Ref<Camera> camera_;
  Ref<PostRenderEffect> film_;
  Ref<SceneNode> root_;
  Ref<CountingNode> counter_;
};

TEST_F(Letterbox, TheFilmLeavesBarsOfAnEighthAndDrawsTheChildrenOnce) {
  film_->SetFilm(true);
  const std::vector<bool> rows = RedRows();
  // 12.5 % of 64 rows: 8 black rows at the top and at the bottom.
  for (int32_t y = 0; y < kSize; ++y) EXPECT_EQ(rows[y], y >= 8 && y < 56) << "row " << y;
  EXPECT_EQ(counter_->draws, 1);
  EXPECT_TRUE(renderer_->GetLetterbox());
  // The full viewport, and the screen's proportions, come back after the
  // children.
  EXPECT_EQ(renderer_->GetViewportHeight(), kSize);
  EXPECT_FLOAT_EQ(camera_->GetAspect(), 1.0f);
}

TEST_F(Letterbox, WithoutTheFilmNothingChangesButTheChildrenAreStillDrawnOnce) {
  film_->SetFilm(true);
  (void)RedRows();
  film_->SetFilm(false);
  counter_->draws = 0;
  const std::vector<bool> rows = RedRows();
  for (int32_t y = 0; y < kSize; ++y) EXPECT_TRUE(rows[y]) << "row " << y;
  EXPECT_EQ(counter_->draws, 1);
  EXPECT_FALSE(renderer_->GetLetterbox()) << "the flag follows the film";
}

TEST_F(Letterbox, TheFilmFollowsTheCamerasOnTheScreen) {
  test::TestScreen screen;
  Ref<Camera> wide(new Camera(String("wide"))), close(new Camera(String("close")));
  Ref<CameraFilmController> byCamera(new CameraFilmController(String("films")));
  byCamera->AddCamera(close.Get());
  ASSERT_EQ(film_->AttachController(byCamera.Get()), kOk);
  screen.SetCamera(close.Get());
  film_->Update(0.1);
  EXPECT_TRUE(film_->GetFilm());
  screen.SetCamera(wide.Get());
  film_->Update(0.1);
  EXPECT_FALSE(film_->GetFilm());
  screen.SetCamera(close.Get());
  byCamera->SetActive(false);
  film_->Update(0.1);
  EXPECT_FALSE(film_->GetFilm()) << "an inactive controller leaves the flag";
}

using LetterboxStorage = test::EngineTest;

TEST_F(LetterboxStorage, TheFlagAndTheCamerasRoundTrip) {
  ASSERT_EQ(CodecManager::LoadCodec(String("STRSceneCodec"), nullptr), kOk);
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<Camera> close(new Camera(String("close")));
  ASSERT_EQ(root->AttachChild(close.Get()), kOk);
  Ref<PostRenderEffect> film(new PostRenderEffect(String("film")));
  film->SetFilm(true);
  Ref<CameraFilmController> byCamera(new CameraFilmController(String("films")));
  byCamera->AddCamera(close.Get());
  ASSERT_EQ(film->AttachController(byCamera.Get()), kOk);
  root->AddEffect(film.Get());
  Ref<Object> loaded = test::SaveAndLoadScene(root.Get(), "letterbox.STR");
  ASSERT_TRUE(loaded);
  auto* rootCopy = DynamicCast<SceneNode>(loaded.Get());
  ASSERT_NE(rootCopy, nullptr);
  ASSERT_EQ(rootCopy->GetEffectCount(), 1);
  auto* filmCopy = DynamicCast<PostRenderEffect>(rootCopy->GetEffect(0));
  ASSERT_NE(filmCopy, nullptr);
  EXPECT_TRUE(filmCopy->GetFilm());
  auto* controllerCopy = DynamicCast<CameraFilmController>(filmCopy->GetController(0));
  ASSERT_NE(controllerCopy, nullptr);
  ASSERT_EQ(controllerCopy->GetCameraCount(), 1);
  EXPECT_EQ(controllerCopy->GetCamera(0), rootCopy->FindByName(String("close")));
}

}  // namespace
}  // namespace klx
