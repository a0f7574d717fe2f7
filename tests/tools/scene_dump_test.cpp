#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "support/engine_fixture.h"
#include "support/test_classes.h"
#include "scene_dump.h"
#include "scene/scene_node.h"
#include "animation/animation_controller.h"

namespace klx {
namespace {

using test::TestController;
using test::TestHolder;
using SceneDumpTest = test::EngineTest;

std::string DumpToString(Object* root) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  SceneDumper(out).Dump(root);
  std::fclose(out);
  std::string result(text, size);
  free(text);
  return result;
}

TEST_F(SceneDumpTest, PrintsTheTreeWithFieldsAndMarksSharedObjects) {
  SceneDumper::Register(TestHolder::TYPE, [](Object* object, SceneDumper& dumper) {
    auto* holder = static_cast<TestHolder*>(object);
    dumper.Link("link", holder->link.Get());
    dumper.Field("value", "%d", holder->value);
  });
  Ref<TestHolder> root(new TestHolder(String(KLX_TEXT("Корень"))));
  Ref<TestHolder> shared(new TestHolder(String("shared")));
  auto* controller = new TestController(String("fade"));
  controller->SetActive(false);
  EXPECT_EQ(root->AttachController(controller), kOk);
  root->link = shared;
  EXPECT_EQ(shared->AttachController(controller), kOk);
  shared->value = 7;

  const std::string expected =
      "root: TEST.Holder \"Корень\" ID[" + std::to_string(root->GetID()) + "]\n"
      "  controller: TEST.Controller \"fade\" ID[" + std::to_string(controller->GetID()) + "] shared\n"
      "    active = false\n"
      "  link: TEST.Holder \"shared\" ID[" + std::to_string(shared->GetID()) + "]\n"
      "    controller: TEST.Controller \"fade\" ID[" + std::to_string(controller->GetID()) +
      "] shared (see above)\n"
      "    link: null\n"
      "    value = 7\n"
      "  value = 0\n";
  EXPECT_EQ(DumpToString(root.Get()), expected);
}

TEST_F(SceneDumpTest, ShowsNodeAndSceneNodeFields) {
  Ref<SceneNode> root(new SceneNode(String("root"), 0, 2));
  Ref<SceneNode> child(new SceneNode(String("child"), 1, 0));
  root->AttachChild(child.Get());
  SetTranslation(child->LocalTransform(), {1, 2, 3});
  const std::string text = DumpToString(root.Get());
  EXPECT_NE(text.find("children = 1 (increment 2)"), std::string::npos) << text;
  EXPECT_NE(text.find("children = 1 (increment 0)"), std::string::npos) << text;
  EXPECT_NE(text.find("translation (1, 2, 3)"), std::string::npos) << text;
  EXPECT_NE(text.find("local = scale (1, 1, 1) rotation (0, 0, 0, 1) translation (0, 0, 0) identity"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("parent: KLX.SceneNode \"root\""), std::string::npos) << text;
}

TEST_F(SceneDumpTest, ShowsAnimationsAndTheirControllers) {
  Ref<SceneNode> car(new SceneNode(String("car")));
  Ref<NodeAnimation> road(new NodeAnimation(String("road")));
  for (double time : {0.0, 0.75}) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = time;
    road->AddKeyframe(std::move(keyframe));
  }
  auto* drive = new NodeAnimationController(String("drive"));
  drive->AddAnimation(road.Get());
  AnimationFrame frame;
  frame.animation = road;
  frame.start = 0.25;
  frame.end = 0.5;
  frame.mode = AnimationFrame::kPingPong;
  drive->AddFrame(frame);
  drive->SetTrackPeriod(40.0);
  ASSERT_EQ(car->AttachController(drive), kOk);
  const std::string text = DumpToString(car.Get());
  EXPECT_NE(text.find("trackPeriod = 40 s"), std::string::npos) << text;
  EXPECT_NE(text.find("animation: KLX.NodeAnimation \"road\""), std::string::npos) << text;
  EXPECT_NE(text.find("keyframes = 2 node, times 0 to 0.75"), std::string::npos) << text;
  EXPECT_NE(text.find("frame = [0.25, 0.5] ping-pong speed 1 offset 0 \"road\""), std::string::npos) << text;
}

}  // namespace
}  // namespace klx
