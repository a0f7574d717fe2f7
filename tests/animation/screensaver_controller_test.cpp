// The screensaver controller: which set comes next (the history rule on a
// fixed seed), how long a set stays (its animations' periods), the time
// carried across a cut and the new set's animations started that far in,
// the camera put on screen, and the stored form.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <memory>
#include <vector>

#include "animation/animation_controller.h"
#include "animation/screensaver_controller.h"
#include "animation/target_controllers.h"
#include "core/memory_stream.h"
#include "scene/camera.h"
#include "scene/scene_node.h"
#include "support/engine_fixture.h"
#include "support/test_screen.h"

namespace klx {
namespace {

using Screensaver = test::EngineTest;

// A controller moving its owner along x over `period` seconds.
Ref<NodeAnimationController> Track(const char* name, double period) {
  Ref<NodeAnimation> path(new NodeAnimation(String(name)));
  for (double time : {0.0, 0.5}) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = time;
    keyframe->translation = Vector3{static_cast<float>(time * 20.0), 0.0f, 0.0f};
    path->AddKeyframe(std::move(keyframe));
  }
  Ref<NodeAnimationController> controller(new NodeAnimationController(String(name)));
  controller->AddAnimation(path.Get());
  AnimationFrame frame;
  frame.animation = path;
  frame.end = 1.0;
  controller->AddFrame(frame);
  controller->SetTrackPeriod(period);
  return controller;
}

CameraSet Set(Camera* camera, double duration, double fadeInStart = 0.0) {
  CameraSet set;
  set.camera = camera;
  set.duration = duration;
  set.fadeInStart = fadeInStart;
  set.FindAnimations();
  return set;
}

// `count` plain cameras, each its own set of `duration` seconds.
Ref<ScreensaverController> PlainSets(int count, double duration, std::vector<Ref<Camera>>& cameras) {
  Ref<ScreensaverController> controller(new ScreensaverController(String("saver")));
  for (int i = 0; i < count; ++i) {
    cameras.emplace_back(new Camera(String("cam")));
    controller->AddSet(Set(cameras.back().Get(), duration));
  }
  return controller;
}

TEST_F(Screensaver, NoSetShownInTheLastHalfComesBackAndFewSetsMayRepeat) {
  std::srand(7);
  std::vector<Ref<Camera>> cameras;
  Ref<ScreensaverController> six = PlainSets(6, 1.0, cameras);
  std::vector<int32_t> shown;
  for (int i = 0; i < 300; ++i) {
    six->ChooseSet();
    shown.push_back(six->GetCurrent());
    ASSERT_EQ(six->GetHistory().size(), 3u);
    EXPECT_EQ(six->GetHistory().back(), six->GetCurrent());
  }
  std::vector<int> times(6, 0);
  for (size_t i = 0; i < shown.size(); ++i) {
    ++times[static_cast<size_t>(shown[i])];
    for (size_t back = 1; back <= 3 && back <= i; ++back) ASSERT_NE(shown[i], shown[i - back]) << "choice " << i;
  }
  for (int count : times) EXPECT_GT(count, 20);  // every set gets its turn

  // With two or three sets the history holds one entry and any set may
  // come again at once.
  for (int count : {2, 3}) {
    std::vector<Ref<Camera>> few;
    Ref<ScreensaverController> controller = PlainSets(count, 1.0, few);
    int repeats = 0;
    int32_t previous = -1;
    for (int i = 0; i < 200; ++i) {
      controller->ChooseSet();
      repeats += controller->GetCurrent() == previous;
      previous = controller->GetCurrent();
      EXPECT_EQ(controller->GetHistory().size(), 1u);
    }
    EXPECT_GT(repeats, 10) << count << " sets";
  }
  // One set: always that one; none: nothing happens.
  std::vector<Ref<Camera>> one;
  Ref<ScreensaverController> single = PlainSets(1, 1.0, one);
  for (int i = 0; i < 5; ++i) {
    single->ChooseSet();
    EXPECT_EQ(single->GetCurrent(), 0);
  }
  Ref<ScreensaverController> none(new ScreensaverController(String("none")));
  none->ChooseSet();
  none->Update(10.0);
  EXPECT_EQ(none->GetCurrent(), -1);
}

TEST_F(Screensaver, ASetLastsAsLongAsItsCameraAndTargetAnimations) {
  // The camera's own track sets the length; a shorter track of the node
  // its look-at controller aims at shortens it; a longer one does not; a
  // track that stands still sets nothing.
  Ref<Camera> moving(new Camera(String("moving")));
  ASSERT_EQ(moving->AttachController(Track("dolly", 12.0).Get()), kOk);
  Ref<Node> quick(new Node(String("quick")));
  ASSERT_EQ(quick->AttachController(Track("quick", 8.0).Get()), kOk);
  Ref<Node> slow(new Node(String("slow")));
  ASSERT_EQ(slow->AttachController(Track("slow", 30.0).Get()), kOk);
  Ref<Camera> aimedAtQuick(new Camera(String("aimedAtQuick")));
  ASSERT_EQ(aimedAtQuick->AttachController(Track("pan", 12.0).Get()), kOk);
  Ref<TargetCameraController> aim(new TargetCameraController(String("aim")));
  aim->SetTarget(quick.Get());
  ASSERT_EQ(aimedAtQuick->AttachController(aim.Get()), kOk);
  Ref<Camera> aimedAtSlow(new Camera(String("aimedAtSlow")));
  ASSERT_EQ(aimedAtSlow->AttachController(Track("pan2", 12.0).Get()), kOk);
  Ref<TargetCameraController> aim2(new TargetCameraController(String("aim2")));
  aim2->SetTarget(slow.Get());
  ASSERT_EQ(aimedAtSlow->AttachController(aim2.Get()), kOk);
  Ref<Camera> still(new Camera(String("still")));
  ASSERT_EQ(still->AttachController(Track("still", 0.0).Get()), kOk);
  Ref<Camera> plain(new Camera(String("plain")));

  const struct {
    Camera* camera;
    double expected;
  } cases[] = {{moving.Get(), 12.0}, {aimedAtQuick.Get(), 8.0}, {aimedAtSlow.Get(), 12.0}, {still.Get(), 5.0},
               {plain.Get(), 5.0}};
  for (const auto& c : cases) {
    Ref<ScreensaverController> controller(new ScreensaverController(String("saver")));
    CameraSet set = Set(c.camera, 5.0);
    controller->AddSet(set);
    // Rewound on choice: the tracks start over.
    if (set.cameraAnimation) set.cameraAnimation->SetPhase(0.4);
    controller->ChooseSet();
    EXPECT_DOUBLE_EQ(controller->GetCurrentSet()->duration, c.expected) << c.camera->GetName().CStr();
    if (set.cameraAnimation) {
      EXPECT_DOUBLE_EQ(set.cameraAnimation->GetPhase(), 0.0);
    }
  }
  // Found on the camera: its track, and the track of the aimed-at node.
  const CameraSet found = Set(aimedAtQuick.Get(), 5.0);
  EXPECT_EQ(found.cameraAnimation->GetName(), "pan");
  EXPECT_EQ(found.targetAnimation->GetName(), "quick");
}

TEST_F(Screensaver, TimeLeftAtACutCarriesIntoTheNextSet) {
  test::TestScreen screen;
  std::vector<Ref<Camera>> cameras;
  Ref<ScreensaverController> controller = PlainSets(4, 2.0, cameras);
  controller->Reset();
  EXPECT_EQ(screen.GetCamera(), cameras[static_cast<size_t>(controller->GetCurrent())].Get());
  EXPECT_EQ(screen.cuts, 1);
  controller->Update(1.5);
  EXPECT_EQ(screen.cuts, 1);
  EXPECT_DOUBLE_EQ(controller->GetElapsed(), 1.5);
  // A step far past the end switches once and carries the rest, more than
  // the new set's length: the next update switches again.
  const int32_t before = controller->GetCurrent();
  controller->Update(3.25);
  EXPECT_EQ(screen.cuts, 2);
  EXPECT_NE(controller->GetCurrent(), before);
  EXPECT_DOUBLE_EQ(controller->GetElapsed(), 2.75);
  controller->Update(0.0);
  EXPECT_EQ(screen.cuts, 3);
  EXPECT_DOUBLE_EQ(controller->GetElapsed(), 0.75);
  EXPECT_EQ(screen.GetCamera(), cameras[static_cast<size_t>(controller->GetCurrent())].Get());
  // Switched off, time stands still.
  controller->SetActive(false);
  controller->Update(100.0);
  EXPECT_DOUBLE_EQ(controller->GetElapsed(), 0.75);
}

TEST_F(Screensaver, TheNewSetStartsAsFarIntoItsAnimationAsTheTimeCarriedOver) {
  test::TestScreen screen;
  std::srand(3);
  // A scene: the controller on the root, the cameras below it with tracks
  // of 10 s, updated the way the frame loop does it.
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<ScreensaverController> controller(new ScreensaverController(String("saver")));
  std::vector<Ref<NodeAnimationController>> tracks;
  for (int i = 0; i < 4; ++i) {
    Ref<Camera> camera(new Camera(String("cam")));
    tracks.push_back(Track("track", 10.0));
    ASSERT_EQ(camera->AttachController(tracks.back().Get()), kOk);
    ASSERT_EQ(root->AttachChild(camera.Get()), kOk);
    controller->AddSet(Set(camera.Get(), 1.0));
  }
  ASSERT_EQ(root->AttachController(controller.Get()), kOk);
  controller->Reset();
  int cuts = 0;
  for (int frame = 0; frame < 200; ++frame) {
    const int32_t before = controller->GetCurrent();
    root->UpdateGeometricState(0.3, false);
    if (controller->GetCurrent() == before && frame > 0) continue;
    ++cuts;
    const CameraSet* set = controller->GetCurrentSet();
    EXPECT_NEAR(set->cameraAnimation->GetPhase(), controller->GetElapsed() / 10.0, 1e-9) << "frame " << frame;
    // The camera stands where its track is at that time.
    EXPECT_NEAR(set->camera->GetLocalTransform().translation.x, 20.0 * controller->GetElapsed() / 10.0, 1e-4);
  }
  EXPECT_GE(cuts, 6);  // 60 s of sets of 10 s
}

TEST_F(Screensaver, TheStoredFormKeepsTheSetsAndTheLoadPutsACameraOnScreen) {
  Ref<SceneNode> root(new SceneNode(String("root")));
  Ref<ScreensaverController> controller(new ScreensaverController(String("saver")));
  for (int i = 0; i < 3; ++i) {
    Ref<Camera> camera(new Camera(String(i == 0 ? "first" : "other")));
    if (i == 0) {
      ASSERT_EQ(camera->AttachController(Track("dolly", 14.0).Get()), kOk);
    }
    ASSERT_EQ(root->AttachChild(camera.Get()), kOk);
    controller->AddSet(Set(camera.Get(), 11.0 + i, 0.5 * i));
  }
  ASSERT_EQ(root->AttachController(controller.Get()), kOk);
  for (bool withScreen : {false, true}) {
    // A stream reads each object once: a fresh one for each load.
    MemoryStream stream(4096, 4096);
    ASSERT_EQ(stream.WriteObject(root.Get()), kOk);
    stream.SetPosition(0);
    std::unique_ptr<test::TestScreen> screen(withScreen ? new test::TestScreen : nullptr);
    Object* loaded = nullptr;
    ASSERT_EQ(stream.ReadObject(loaded), kOk);
    Ref<Object> copy(loaded);
    auto* saver = DynamicCast<ScreensaverController>(loaded->GetController(0));
    ASSERT_NE(saver, nullptr);
    ASSERT_EQ(saver->GetSetCount(), 3);
    for (int i = 0; i < 3; ++i) {
      const CameraSet* set = saver->GetSet(i);
      EXPECT_EQ(set->camera->GetName(), i == 0 ? "first" : "other");
      EXPECT_DOUBLE_EQ(set->fadeInStart, 0.5 * i);
      // The chosen set's length comes from its track, if it has one.
      const double stored = 11.0 + i;
      EXPECT_DOUBLE_EQ(set->duration, i == 0 && saver->GetCurrent() == 0 ? 14.0 : stored);
    }
    // Found again on load, not stored: the first camera's track.
    EXPECT_EQ(saver->GetSet(0)->cameraAnimation->GetName(), "dolly");
    // The first set is chosen at the end of the load, on screen where
    // something draws.
    ASSERT_GE(saver->GetCurrent(), 0);
    if (withScreen) {
      EXPECT_EQ(screen->GetCamera(), saver->GetCurrentSet()->camera.Get());
    }
  }
}

TEST_F(Screensaver, HostileSetsAreRefused) {
  // A count the bytes cannot hold.
  MemoryStream stream(256, 256);
  Ref<ScreensaverController> controller(new ScreensaverController(String("saver")));
  ASSERT_EQ(stream.WriteObject(controller.Get()), kOk);
  const int32_t end = stream.GetPosition();
  ASSERT_EQ(stream.SetPosition(end - 4), kOk);
  stream.WriteInt32(1 << 28);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  EXPECT_NE(stream.ReadObject(loaded), kOk);
  const std::string message = test::Text("Невозможно загрузить количество сетов.");
  bool logged = false;
  for (const test::LoggedLine& line : log_->lines) logged |= line.text.find(message.substr(0, message.size() - 1)) == 0;
  EXPECT_TRUE(logged);

  // A controller on a camera it would put on screen holds that camera:
  // attaching it would close a loop.
  Ref<Camera> camera(new Camera(String("cam")));
  Ref<ScreensaverController> onCamera(new ScreensaverController(String("onCamera")));
  onCamera->AddSet(Set(camera.Get(), 3.0));
  EXPECT_EQ(camera->AttachController(onCamera.Get()), kInvalidArg);
}

}  // namespace
}  // namespace klx
