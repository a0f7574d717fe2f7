// Animation controllers: the track phase, frames matched by the phase, the
// cross-fade of two overlapping frames, local time by mode, node poses
// blended into the owner's transform, and the stored form.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "animation/animation_controller.h"
#include "core/memory_stream.h"
#include "scene/node.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using AnimationControllers = test::EngineTest;

// A path from x = 0 at time 0 to x = 10 at time 0.5 and back to 0.
Ref<NodeAnimation> Path(const char* name, float far = 10.0f) {
  Ref<NodeAnimation> animation(new NodeAnimation(String(name)));
  for (double time : {0.0, 0.5}) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = time;
    keyframe->translation = Vector3{time > 0.0 ? far : 0.0f, 0.0f, 0.0f};
    animation->AddKeyframe(std::move(keyframe));
  }
  return animation;
}

AnimationFrame Frame(Animation* animation, double start, double end, int32_t mode = AnimationFrame::kLoop) {
  AnimationFrame frame;
  frame.animation = animation;
  frame.start = start;
  frame.end = end;
  frame.mode = mode;
  return frame;
}

TEST_F(AnimationControllers, ThePhaseRunsOnceAroundPerTrackPeriod) {
  Ref<NodeAnimationController> controller(new NodeAnimationController(String("track")));
  controller->SetTrackPeriod(10.0);
  for (double expected : {0.25, 0.5, 0.75, 0.0}) {
    controller->Update(2.5);
    EXPECT_NEAR(controller->GetPhase(), expected, 1e-12);
  }
  // Without a period, or inactive, the track stands still.
  controller->SetTrackPeriod(0.0);
  controller->SetPhase(0.3);
  controller->Update(1.0);
  EXPECT_DOUBLE_EQ(controller->GetPhase(), 0.3);
  controller->SetTrackPeriod(10.0);
  controller->SetActive(false);
  controller->Update(1.0);
  EXPECT_DOUBLE_EQ(controller->GetPhase(), 0.3);
}

TEST_F(AnimationControllers, OverlappingFramesCrossFade) {
  Ref<NodeAnimation> a = Path("a"), b = Path("b");
  Ref<NodeAnimationController> controller(new NodeAnimationController(String("track")));
  controller->AddAnimation(a.Get());
  controller->AddAnimation(b.Get());
  controller->AddFrame(Frame(a.Get(), 0.0, 0.6));
  controller->AddFrame(Frame(b.Get(), 0.4, 1.0));
  controller->SetTrackPeriod(1.0);
  controller->SetPhase(0.5);
  controller->Update(0.0);
  ASSERT_EQ(controller->GetStageCount(), 2);
  EXPECT_EQ(controller->GetStage(0)->animation.Get(), a.Get());
  EXPECT_EQ(controller->GetStage(1)->animation.Get(), b.Get());
  EXPECT_NEAR(controller->GetStage(0)->weight, 0.5f, 1e-6f);
  EXPECT_NEAR(controller->GetStage(1)->weight, 0.5f, 1e-6f);
  controller->SetPhase(0.45);
  controller->Update(0.0);
  EXPECT_NEAR(controller->GetStage(1)->weight, 0.25f, 1e-6f);
  EXPECT_NEAR(controller->GetStage(0)->weight, 0.75f, 1e-6f);
  // Past the overlap the second stage is emptied and the first plays alone.
  controller->SetPhase(0.8);
  controller->Update(0.0);
  EXPECT_EQ(controller->GetStage(0)->animation.Get(), b.Get());
  EXPECT_EQ(controller->GetStage(1)->animation.Get(), nullptr);
  EXPECT_FLOAT_EQ(controller->GetStage(0)->weight, 1.0f);
  // Windows that only touch share the weight instead of dividing by zero.
  Ref<NodeAnimationController> touching(new NodeAnimationController(String("touching")));
  touching->AddFrame(Frame(a.Get(), 0.0, 0.5));
  touching->AddFrame(Frame(b.Get(), 0.5, 1.0));
  touching->SetPhase(0.5);
  touching->Update(0.0);
  EXPECT_FLOAT_EQ(touching->GetStage(0)->weight, 0.5f);
  EXPECT_FLOAT_EQ(touching->GetStage(1)->weight, 0.5f);
}

TEST_F(AnimationControllers, LocalTimeFollowsTheModeOfEachStage) {
  EXPECT_DOUBLE_EQ(FirstStageTime(AnimationFrame::kPingPong, 1.25), 0.75);
  EXPECT_DOUBLE_EQ(FirstStageTime(AnimationFrame::kPingPong, 2.25), 0.25);
  EXPECT_DOUBLE_EQ(FirstStageTime(AnimationFrame::kOnce, 1.2), 0.0);
  EXPECT_DOUBLE_EQ(SecondStageTime(AnimationFrame::kOnce, 1.2), 1.0);
  EXPECT_DOUBLE_EQ(SecondStageTime(AnimationFrame::kOnce, -0.5), 0.0);
  EXPECT_DOUBLE_EQ(FirstStageTime(AnimationFrame::kLoop, 1.75), 0.75);
  EXPECT_DOUBLE_EQ(FirstStageTime(AnimationFrame::kLoop, -0.25), 0.75);
  EXPECT_DOUBLE_EQ(SecondStageTime(AnimationFrame::kPingPong, 1.0), 1.0);
  EXPECT_DOUBLE_EQ(FirstStageTime(AnimationFrame::kPingPong, 1.0), 0.0);
  // A window of no length plays its start; speed and offset scale the time.
  AnimationFrame frame = Frame(nullptr, 0.3, 0.3);
  EXPECT_DOUBLE_EQ(frame.LocalTime(0.3), 0.0);
  frame = Frame(nullptr, 0.2, 0.6);
  frame.speed = 2.0;
  frame.offset = 0.1;
  EXPECT_DOUBLE_EQ(frame.LocalTime(0.3), (0.1 * 2.0 + 0.1) / 0.4);
}

TEST_F(AnimationControllers, ASingleStageOfWeightOneSetsTheNodesPose) {
  Ref<NodeAnimation> path = Path("path");
  Ref<Node> node(new Node(String("car")));
  node->LocalTransform().translation = Vector3{100, 100, 100};
  node->LocalTransform().isIdentity = false;
  auto* controller = new NodeAnimationController(String("drive"));
  ASSERT_EQ(node->AttachController(controller), kOk);
  controller->AddAnimation(path.Get());
  controller->AddFrame(Frame(path.Get(), 0.0, 1.0));
  controller->SetTrackPeriod(8.0);
  // 2 s into an 8 s track: u = 0.25, halfway to the far keyframe.
  node->SetWorldTransformUpdate(false);
  node->UpdateGeometricState(2.0, false);
  EXPECT_NEAR(node->GetLocalTransform().translation.x, 5.0f, 1e-5f);
  EXPECT_NEAR(node->GetLocalTransform().translation.y, 0.0f, 1e-6f);
  EXPECT_TRUE(node->GetWorldTransformUpdate());
  EXPECT_NEAR(node->GetWorldTransform().translation.x, 5.0f, 1e-5f);
  // 3 s later (u = 0.625): on the way back from the far keyframe.
  node->UpdateGeometricState(3.0, false);
  EXPECT_NEAR(node->GetLocalTransform().translation.x, 7.5f, 1e-5f);
  // A frame naming an animation of another kind moves nothing.
  Ref<BoolAnimation> song(new BoolAnimation(String("song")));
  auto keyframe = std::make_unique<BoolKeyframe>();
  song->AddKeyframe(std::move(keyframe));
  Ref<Node> other(new Node(String("other")));
  auto* wrong = new NodeAnimationController(String("wrong"));
  ASSERT_EQ(other->AttachController(wrong), kOk);
  wrong->AddFrame(Frame(song.Get(), 0.0, 1.0));
  wrong->SetTrackPeriod(1.0);
  other->UpdateGeometricState(0.25, false);
  EXPECT_EQ(other->GetLocalTransform().translation, (Vector3{0, 0, 0}));
}

TEST_F(AnimationControllers, StagesByNameTheLastMatchWins) {
  Ref<NodeAnimation> first = Path("walk"), second = Path("walk"), other = Path("run");
  Ref<NodeAnimationController> controller(new NodeAnimationController(String("c")));
  controller->AddAnimation(first.Get());
  controller->AddAnimation(other.Get());
  controller->AddAnimation(second.Get());
  controller->SetStageByName(String("walk"), 1, 0.3f);
  ASSERT_EQ(controller->GetStageCount(), 2);
  EXPECT_EQ(controller->GetStage(1)->animation.Get(), second.Get());
  EXPECT_FLOAT_EQ(controller->GetStage(1)->weight, 0.3f);
  controller->SetStageByName(String("fly"), 1, 0.4f);
  EXPECT_EQ(controller->GetStage(1)->animation.Get(), nullptr);
  controller->SetStageWeight(5, 0.9f);  // no such stage: nothing
  EXPECT_EQ(controller->GetStageCount(), 2);
  EXPECT_EQ(controller->FindByName(String("run")), other.Get());
  controller->Reset();
  EXPECT_EQ(controller->GetStageCount(), 0);
  EXPECT_DOUBLE_EQ(controller->GetPhase(), 0.0);
}

TEST_F(AnimationControllers, TheStoredFormKeepsAnimationsFramesAndPeriod) {
  Ref<NodeAnimation> path = Path("path");
  Ref<NodeAnimationController> controller(new NodeAnimationController(String("drive")));
  controller->AddAnimation(path.Get());
  AnimationFrame frame = Frame(path.Get(), 0.1, 0.9, AnimationFrame::kPingPong);
  frame.speed = 1.5;
  frame.offset = 0.25;
  controller->AddFrame(frame);
  controller->SetTrackPeriod(42.0);
  controller->SetPhase(0.7);
  MemoryStream stream(2048, 1024);
  ASSERT_EQ(stream.WriteObject(controller.Get()), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  ASSERT_EQ(stream.ReadObject(loaded), kOk);
  Ref<NodeAnimationController> copy(DynamicCast<NodeAnimationController>(loaded));
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->GetAnimationCount(), 1);
  EXPECT_EQ(copy->GetAnimation(0)->GetName(), "path");
  ASSERT_EQ(copy->GetFrameCount(), 1);
  EXPECT_EQ(copy->GetFrame(0)->animation.Get(), copy->GetAnimation(0));  // one object, linked twice
  EXPECT_EQ(copy->GetFrame(0)->mode, AnimationFrame::kPingPong);
  EXPECT_DOUBLE_EQ(copy->GetFrame(0)->start, 0.1);
  EXPECT_DOUBLE_EQ(copy->GetFrame(0)->end, 0.9);
  EXPECT_DOUBLE_EQ(copy->GetFrame(0)->speed, 1.5);
  EXPECT_DOUBLE_EQ(copy->GetFrame(0)->offset, 0.25);
  EXPECT_DOUBLE_EQ(copy->GetTrackPeriod(), 42.0);
  // Not stored: the phase and the stages start afresh.
  EXPECT_DOUBLE_EQ(copy->GetPhase(), 0.0);
  EXPECT_EQ(copy->GetStageCount(), 0);
}

}  // namespace
}  // namespace klx
