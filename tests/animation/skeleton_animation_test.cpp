// The skeleton controller: its settings reach every bone controller, its
// update runs each of them exactly once a frame although they sit on bone
// nodes of their own, and the stored form links the bone controllers.

#include <gtest/gtest.h>

#include <memory>

#include "animation/skeleton_animation_controller.h"
#include "core/memory_stream.h"
#include "scene/scene_node.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using SkeletonAnimation = test::EngineTest;

// A swing from x = 0 to x = 1 over one second.
Ref<NodeAnimation> Swing(const char* name) {
  Ref<NodeAnimation> animation(new NodeAnimation(String(name)));
  for (double time : {0.0, 1.0}) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = time;
    keyframe->translation = Vector3{static_cast<float>(time), 0, 0};
    animation->AddKeyframe(std::move(keyframe));
  }
  return animation;
}

// A body with a skeleton controller and two bones, each with its own node
// animation controller; only the first bone has an animation named "wave".
struct Body {
  Ref<SceneNode> root{new SceneNode(String("body"))};
  Ref<SkeletonAnimationController> skeleton{new SkeletonAnimationController(String("skeleton"))};
  Ref<SceneNode> bones[2] = {Ref<SceneNode>(new SceneNode(String("arm"))),
                             Ref<SceneNode>(new SceneNode(String("leg")))};
  Ref<NodeAnimationController> controllers[2] = {
      Ref<NodeAnimationController>(new NodeAnimationController(String("arm track"))),
      Ref<NodeAnimationController>(new NodeAnimationController(String("leg track")))};

  Body() {
    skeleton->SetTrackPeriod(4.0);
    EXPECT_EQ(root->AttachController(skeleton.Get()), kOk);
    for (int i = 0; i < 2; ++i) {
      Ref<NodeAnimation> swing = Swing(i == 0 ? "wave" : "kick");
      controllers[i]->AddAnimation(swing.Get());
      AnimationFrame frame;
      frame.animation = swing;
      frame.start = 0.0;
      frame.end = 1.0;
      controllers[i]->AddFrame(frame);
      controllers[i]->SetTrackPeriod(4.0);
      EXPECT_EQ(bones[i]->AttachController(controllers[i].Get()), kOk);
      EXPECT_EQ(root->AttachChild(bones[i].Get()), kOk);
      skeleton->AddBoneController(controllers[i].Get());
    }
  }
};

TEST_F(SkeletonAnimation, EachBoneControllerRunsOnceAFrame) {
  Body body;
  for (const auto& controller : body.controllers) EXPECT_FALSE(controller->IsActive());
  // The traversal reaches the bones' own controllers as well; a second run
  // would advance their phase twice.
  for (int frame = 1; frame <= 3; ++frame) {
    body.root->UpdateGeometricState(0.5, false);
    for (const auto& controller : body.controllers) {
      EXPECT_NEAR(controller->GetPhase(), 0.125 * frame, 1e-12);
      EXPECT_FALSE(controller->IsActive());
    }
  }
  // The bones moved along their swings: 1.5 s into a 4 s track.
  EXPECT_NEAR(body.bones[0]->GetLocalTransform().translation.x, 0.375f, 1e-5f);
  EXPECT_NEAR(body.bones[1]->GetWorldTransform().translation.x, 0.375f, 1e-5f);
  // An inactive skeleton runs none of them.
  body.skeleton->SetActive(false);
  body.root->UpdateGeometricState(0.5, false);
  EXPECT_NEAR(body.controllers[0]->GetPhase(), 0.375, 1e-12);
}

TEST_F(SkeletonAnimation, StageWeightAndPhaseSettingsReachEveryBone) {
  Body body;
  Ref<NodeAnimation> shared = Swing("shared");
  body.skeleton->SetStage(shared.Get(), 1, 0.3f);
  for (const auto& controller : body.controllers) {
    ASSERT_EQ(controller->GetStageCount(), 2);
    EXPECT_EQ(controller->GetStage(0)->animation.Get(), nullptr);
    EXPECT_EQ(controller->GetStage(1)->animation.Get(), shared.Get());
    EXPECT_FLOAT_EQ(controller->GetStage(1)->weight, 0.3f);
  }
  body.skeleton->SetStageWeight(1, 0.9f);
  for (const auto& controller : body.controllers) EXPECT_FLOAT_EQ(controller->GetStage(1)->weight, 0.9f);
  // By name each bone picks its own animation; the bone without one has an
  // empty stage.
  body.skeleton->SetStageByName(String("wave"), 1, 0.7f);
  EXPECT_EQ(body.controllers[0]->GetStage(1)->animation.Get(), body.controllers[0]->GetAnimation(0));
  EXPECT_EQ(body.controllers[1]->GetStage(1)->animation.Get(), nullptr);
  EXPECT_FLOAT_EQ(body.controllers[1]->GetStage(1)->weight, 0.7f);
  body.skeleton->SetPhase(0.4);
  for (const auto& controller : body.controllers) EXPECT_DOUBLE_EQ(controller->GetPhase(), 0.4);
  // Reset empties the bones' stages and leaves their phase.
  body.skeleton->Reset();
  EXPECT_DOUBLE_EQ(body.skeleton->GetPhase(), 0.0);
  for (const auto& controller : body.controllers) {
    EXPECT_EQ(controller->GetStageCount(), 0);
    EXPECT_DOUBLE_EQ(controller->GetPhase(), 0.4);
  }
}

TEST_F(SkeletonAnimation, TheStoredFormLinksTheBoneControllers) {
  Body body;
  body.controllers[1]->SetActive(true);  // stored active, loaded inactive
  MemoryStream stream(8192, 4096);
  ASSERT_EQ(stream.WriteObject(body.root.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<SceneNode> root(DynamicCast<SceneNode>(loaded));
  ASSERT_TRUE(root);
  auto* skeleton = DynamicCast<SkeletonAnimationController>(root->GetController(0));
  ASSERT_NE(skeleton, nullptr);
  ASSERT_EQ(skeleton->GetBoneControllerCount(), 2);
  const char* names[2] = {"arm", "leg"};
  for (int i = 0; i < 2; ++i) {
    AnimationController* bone = skeleton->GetBoneController(i);
    auto* node = DynamicCast<Node>(root->FindByName(String(names[i])));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(bone, node->GetController(0));
    EXPECT_FALSE(bone->IsActive());
  }
  EXPECT_DOUBLE_EQ(skeleton->GetTrackPeriod(), 4.0);
  root->UpdateGeometricState(1.0, false);
  EXPECT_NEAR(skeleton->GetBoneController(1)->GetPhase(), 0.25, 1e-12);
}

}  // namespace
}  // namespace klx
