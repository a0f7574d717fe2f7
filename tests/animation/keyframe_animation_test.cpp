// Keyframe animations: the keyframe search with its wrap, sampling between
// keyframes, spherical interpolation, the stored form, and hostile counts.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "animation/animation.h"
#include "animation/blend_stage.h"
#include "animation/slerp.h"
#include "core/memory_stream.h"
#include "core/random15.h"
#include "support/engine_fixture.h"

namespace klx {
namespace {

using KeyframeAnimation = test::EngineTest;

Ref<NodeAnimation> AnimationAt(std::initializer_list<double> times) {
  Ref<NodeAnimation> animation(new NodeAnimation(String("path")));
  for (double time : times) {
    auto keyframe = std::make_unique<NodeKeyframe>();
    keyframe->time = time;
    animation->AddKeyframe(std::move(keyframe));
  }
  return animation;
}

TEST_F(KeyframeAnimation, SamplingFindsTheKeyframesAroundTheTimeAndWraps) {
  BlendStage stage;
  stage.animation = AnimationAt({0.0, 0.5, 1.0});
  stage.Sample(0.75);
  EXPECT_EQ(stage.key, 1);
  EXPECT_EQ(stage.nextKey, 2);
  EXPECT_DOUBLE_EQ(stage.fraction, 0.5);
  // At 1.0 the last keyframe wraps to the first over no time at all.
  stage.Sample(1.0);
  EXPECT_EQ(stage.key, 2);
  EXPECT_EQ(stage.nextKey, 0);
  EXPECT_DOUBLE_EQ(stage.fraction, 0.0);

  // Before the first keyframe: from the last one, across the wrap.
  stage.animation = AnimationAt({0.2, 0.6});
  stage.Sample(0.1);
  EXPECT_EQ(stage.key, 1);
  EXPECT_EQ(stage.nextKey, 0);
  EXPECT_NEAR(stage.fraction, 0.5 / 0.6, 1e-12);

  // Many keyframes: the bisection lands on the one at or before the time.
  stage.animation = AnimationAt({0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8});
  for (int32_t expected = 0; expected < 8; ++expected) {
    stage.Sample(expected * 0.1 + 0.05);
    EXPECT_EQ(stage.key, expected);
    EXPECT_NEAR(stage.fraction, 0.5, 1e-9) << expected;
  }
  stage.Sample(0.85);  // the last keyframe leads over the wrap to the first
  EXPECT_EQ(stage.key, 8);
  EXPECT_EQ(stage.nextKey, 0);
  EXPECT_NEAR(stage.fraction, 0.25, 1e-9);
  stage.Sample(0.3);
  EXPECT_EQ(stage.key, 3);
  EXPECT_NEAR(stage.fraction, 0.0, 1e-12);

  // Nothing to sample: the stage stays as it was.
  stage.animation = AnimationAt({});
  stage.Sample(0.5);
  EXPECT_EQ(stage.key, 3);
}

TEST_F(KeyframeAnimation, KeyframesOutOfOrderOrOutsideTheAxisStayInRange) {
  BlendStage stage;
  stage.animation = AnimationAt({0.9, -3.0, 0.1, 7.5, std::nan("")});
  for (double u : {-1.0, 0.0, 0.05, 0.5, 0.95, 1.0, 2.0, std::nan("")}) {
    stage.Sample(u);
    EXPECT_GE(stage.key, 0);
    EXPECT_LT(stage.key, 5);
    EXPECT_EQ(stage.nextKey, (stage.key + 1) % 5);
  }
}

Quaternion AboutY(float angle) { return Quaternion{0.0f, std::sin(angle / 2), 0.0f, std::cos(angle / 2)}; }

TEST_F(KeyframeAnimation, SlerpTakesTheShortArcAndLeavesNearlyEqualRotations) {
  const float quarter = 1.5707963f;
  const Quaternion half = Slerp(AboutY(0.0f), AboutY(quarter), 0.5f);
  EXPECT_NEAR(half.y, std::sin(quarter / 4), 1e-6f);
  EXPECT_NEAR(half.w, std::cos(quarter / 4), 1e-6f);
  // -q is the same rotation: the way to it is as short as the way to q.
  const Quaternion q = AboutY(quarter);
  const Quaternion viaNegative = Slerp(AboutY(0.0f), Quaternion{-q.x, -q.y, -q.z, -q.w}, 0.5f);
  EXPECT_NEAR(viaNegative.y, half.y, 1e-6f);
  EXPECT_NEAR(viaNegative.w, half.w, 1e-6f);
  EXPECT_NEAR(Slerp(AboutY(0.0f), q, 1.0f).y, q.y, 1e-6f);
  const Quaternion nearly = AboutY(1e-5f);
  EXPECT_EQ(Slerp(AboutY(0.0f), nearly, 0.5f), AboutY(0.0f));
}

TEST_F(KeyframeAnimation, AnimationsKeepEveryKeyframeThroughTheirStoredForm) {
  Ref<NodeAnimation> path = AnimationAt({0.0, 0.25});
  path->GetNodeKeyframe(1)->translation = Vector3{1, 2, 3};
  path->GetNodeKeyframe(1)->rotation = AboutY(0.5f);
  path->GetNodeKeyframe(1)->scale = Vector3{2, 2, 2};
  Ref<BoolAnimation> song(new BoolAnimation(String("song")));
  for (double time : {0.0, 0.4}) {
    auto keyframe = std::make_unique<BoolKeyframe>();
    keyframe->time = time;
    keyframe->value = time > 0.0;
    song->AddKeyframe(std::move(keyframe));
  }
  MemoryStream stream(1024, 1024);
  ASSERT_EQ(stream.WriteObject(path.Get()), kOk);
  ASSERT_EQ(stream.WriteObject(song.Get()), kOk);
  stream.SetPosition(0);
  Object* first = nullptr;
  Object* second = nullptr;
  ASSERT_EQ(stream.ReadObject(first), kOk);
  ASSERT_EQ(stream.ReadObject(second), kOk);
  Ref<NodeAnimation> pathCopy(DynamicCast<NodeAnimation>(first));
  Ref<BoolAnimation> songCopy(DynamicCast<BoolAnimation>(second));
  ASSERT_TRUE(pathCopy && songCopy);
  ASSERT_EQ(pathCopy->GetKeyframeCount(), 2);
  EXPECT_DOUBLE_EQ(pathCopy->GetNodeKeyframe(1)->time, 0.25);
  EXPECT_EQ(pathCopy->GetNodeKeyframe(1)->translation, (Vector3{1, 2, 3}));
  EXPECT_EQ(pathCopy->GetNodeKeyframe(1)->rotation, AboutY(0.5f));
  EXPECT_EQ(pathCopy->GetNodeKeyframe(1)->scale, (Vector3{2, 2, 2}));
  EXPECT_EQ(pathCopy->GetNodeKeyframe(0)->scale, (Vector3{1, 1, 1}));
  ASSERT_EQ(songCopy->GetKeyframeCount(), 2);
  EXPECT_FALSE(songCopy->GetBoolKeyframe(0)->value);
  EXPECT_TRUE(songCopy->GetBoolKeyframe(1)->value);
  EXPECT_DOUBLE_EQ(songCopy->GetBoolKeyframe(1)->time, 0.4);
}

// A stream over exactly these bytes.
class ReadStream : public MemoryStream {
 public:
  ReadStream(const uint8_t* bytes, int32_t size) : MemoryStream(0, 1024) { (void)Reset(bytes, size); }
};

// The bytes of the stored animation, with its keyframe count replaced when
// `count` is given. The count sits just before the keyframes, 48 bytes each
// for a node.
std::vector<uint8_t> Stored(Animation* animation, int32_t count, int32_t keepBytes = -1) {
  MemoryStream stream(1024, 1024);
  EXPECT_EQ(stream.WriteObject(animation), kOk);
  const int32_t size = stream.GetPosition();
  std::vector<uint8_t> bytes(stream.GetBuffer(), stream.GetBuffer() + size);
  const size_t at = static_cast<size_t>(size - animation->GetKeyframeCount() * 48 - 4);
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i));
  if (keepBytes >= 0) bytes.resize(static_cast<size_t>(keepBytes));
  return bytes;
}

TEST_F(KeyframeAnimation, AHostileOrTruncatedKeyframeCountFailsTheLoad) {
  Ref<NodeAnimation> path = AnimationAt({0.0, 0.5});
  for (int32_t count : {-1, 3, 0x7FFFFFFF}) {
    const std::vector<uint8_t> bytes = Stored(path.Get(), count);
    ReadStream stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    Object* loaded = nullptr;
    EXPECT_NE(stream.ReadObject(loaded), kOk) << count;
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно загрузить количество кифреймов анимации. ID[%d] Имя[path]",
                                                loaded->GetID())))
        << count;
  }
  // Keyframes cut short: the true count no longer fits in what is left.
  const std::vector<uint8_t> whole = Stored(path.Get(), 2);
  const std::vector<uint8_t> bytes = Stored(path.Get(), 2, static_cast<int32_t>(whole.size()) - 10);
  ReadStream cut(bytes.data(), static_cast<int32_t>(bytes.size()));
  Object* loaded = nullptr;
  EXPECT_NE(cut.ReadObject(loaded), kOk);
  ASSERT_NE(loaded, nullptr);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно загрузить количество кифреймов анимации. ID[%d] Имя[path]",
                                              loaded->GetID())));
  // A keyframe that cannot be read says so, then its animation does.
  NodeKeyframe keyframe;
  ReadStream short_(whole.data(), 20);
  EXPECT_EQ(keyframe.Load(short_), kFailed);
  EXPECT_TRUE(log_->Has(kLogError, test::Text("Невозможно загрузить данные кифрейма.")));
}

TEST_F(KeyframeAnimation, RandomNumbersStayWithinFifteenBits) {
  bool sawHigh = false;
  bool sawOdd = false;
  for (int i = 0; i < 4096; ++i) {
    const int32_t value = Random15();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, kRandom15Max);
    sawHigh = sawHigh || value > kRandom15Max / 2;
    sawOdd = sawOdd || (value & 1) != 0;
  }
  EXPECT_TRUE(sawHigh && sawOdd);
}

}  // namespace
}  // namespace klx
