// Sound nodes: the stored form, loading their files through the file
// manager, what Update does with their channels, and their world bounds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "animation/sound_node_animation.h"
#include "core/memory_stream.h"
#include "sound/sound_node.h"
#include "sound/sound_node2.h"
#include "render/renderer.h"
#include "scene/camera.h"
#include "scene/bounding_volume.h"
#include "support/audio_fixture.h"
#include "vfs/file_manager.h"
#include "vfs/memory_file.h"
#include "vfs/virtual_directory.h"

namespace klx::test {
namespace {

template <class T>
Ref<T> RoundTrip(T* object, int* result = nullptr) {
  MemoryStream stream(256, 256);
  EXPECT_EQ(stream.WriteObject(object), kOk);
  stream.SetPosition(0);
  Object* loaded = nullptr;
  const int read = stream.ReadObject(loaded);
  if (result != nullptr) *result = read;
  return Ref<T>(DynamicCast<T>(loaded));
}

class SoundNodes : public AudioTest {
 protected:
  void SetUp() override {
    AudioTest::SetUp();
    sounds_ = new VirtualDirectory(String("Sounds"), FileManager::GetRoot());
  }

  void AddFile(const char* name, const std::vector<uint8_t>& bytes) {
    auto* file = new MemoryFile(String(name));
    auto* copy = new uint8_t[bytes.size()];
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    file->SetContent(copy, static_cast<int32_t>(bytes.size()));
    sounds_->AddFile(file);
  }

  static std::vector<uint8_t> ShortTone(double seconds) {
    SoundSamples sound;
    AppendTone(sound, seconds, 330.0, 0.4);
    return EncodeOggVorbis(sound);
  }

  // Waits until a channel has stopped by itself.
  bool WaitStopped(HSTREAM channel, double seconds = 2.0) {
    for (double waited = 0; waited < seconds; waited += 0.01) {
      if (Audio().ChannelIsActive(channel) == BASS_ACTIVE_STOPPED) return true;
      Sleep(0.01);
    }
    return false;
  }

  VirtualDirectory* sounds_ = nullptr;
};

TEST_F(SoundNodes, SoundNodeRoundTripsAndPlaysItsFile) {
  AddFile("hum.ogg", ShortTone(0.3));
  Ref<SoundNode> node = new SoundNode(String("Car"));
  node->SetLoop(true);
  node->SetMinDistance(12.5f);
  node->SetVolume(35);
  ASSERT_EQ(node->LoadSound(FileManager::FindFile(String("hum.ogg")), true), kOk);
  EXPECT_NE(node->GetChannel(), 0u);

  Ref<SoundNode> copy = RoundTrip(node.Get());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetName(), "Car");
  EXPECT_TRUE(copy->GetLoop());
  EXPECT_FLOAT_EQ(copy->GetMinDistance(), 12.5f);
  EXPECT_TRUE(copy->Is3D());
  EXPECT_EQ(copy->GetFileName(), "hum.ogg");
  EXPECT_TRUE(copy->IsPlaying());
  EXPECT_EQ(copy->GetVolume(), 35);
  ASSERT_NE(copy->GetChannel(), 0u);
  EXPECT_NE(copy->GetChannel(), node->GetChannel());
  AUDIO_DWORD volume = 0;
  ASSERT_TRUE(Audio().ChannelGetAttributes(copy->GetChannel(), nullptr, &volume, nullptr));
  EXPECT_EQ(volume, 35u);

  // Update keeps the channel playing; a looping one past its length.
  copy->Update(0.0);
  EXPECT_EQ(Audio().ChannelIsActive(copy->GetChannel()), BASS_ACTIVE_PLAYING);
  Sleep(0.45);
  copy->Update(0.45);
  EXPECT_EQ(Audio().ChannelIsActive(copy->GetChannel()), BASS_ACTIVE_PLAYING);

  // Once the application clears the playing flag and stops the channel,
  // Update leaves it stopped.
  copy->SetPlaying(false);
  Audio().ChannelStop(copy->GetChannel());
  copy->Update(0.1);
  EXPECT_EQ(Audio().ChannelIsActive(copy->GetChannel()), BASS_ACTIVE_STOPPED);
}

TEST_F(SoundNodes, MissingOrUndecodableFilesLeaveTheNodeSilent) {
  Ref<SoundNode> missing = new SoundNode(String("Birds"));
  {
    // Stored with a file name the file manager does not know.
    AddFile("gone.ogg", ShortTone(0.1));
    ASSERT_EQ(missing->LoadSound(FileManager::FindFile(String("gone.ogg")), false), kOk);
    VirtualFile* gone = FileManager::FindFile(String("gone.ogg"));
    sounds_->RemoveFile(gone);
    delete gone;
  }
  int result = -1;
  Ref<SoundNode> loaded = RoundTrip(missing.Get(), &result);
  EXPECT_EQ(result, kOk);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->GetChannel(), 0u);
  EXPECT_EQ(log_->Count(kLogWarning, Text("Невозможно найти файл [%s] для источника звука. ID[%d] Имя[%s]",
                                          "gone.ogg", loaded->GetID(), "Birds")),
            1);
  loaded->Update(0.1);  // nothing to play, nothing breaks

  AddFile("noise.ogg", std::vector<uint8_t>(500, 0x33));
  Ref<SoundNode> noise = new SoundNode(String("Noise"));
  EXPECT_EQ(noise->LoadSound(FileManager::FindFile(String("noise.ogg")), false), kOk);
  EXPECT_EQ(noise->GetChannel(), 0u);
  EXPECT_TRUE(log_->Has(kLogWarning, Text("Невозможно загрузить файл звука [%s]", "noise.ogg")));

  AddFile("empty.ogg", {});
  EXPECT_EQ(noise->LoadSound(FileManager::FindFile(String("empty.ogg")), false), kInvalidArg);
  EXPECT_EQ(noise->LoadSound(nullptr, false), kInvalidArg);
}

TEST_F(SoundNodes, SoundNode2TriggersEveryIntervalOfUpdateTime) {
  std::srand(7);
  AddFile("a.ogg", ShortTone(0.03));
  AddFile("b.ogg", ShortTone(0.03));
  Ref<SoundNode2> node = new SoundNode2(String("Bells"));
  node->SetFileNames(String("a.ogg"), String("b.ogg"));
  node->SetTiming(2.0f, 0.0f);
  node->SetVolume(0);
  ASSERT_EQ(node->LoadSounds(), kOk);
  Ref<SoundNode2> copy = RoundTrip(node.Get());
  ASSERT_TRUE(copy);
  EXPECT_FLOAT_EQ(copy->GetInterval(), 2.0f);
  EXPECT_FLOAT_EQ(copy->GetSpread(), 0.0f);
  EXPECT_EQ(copy->GetVolume(), 0);
  const HSTREAM a = copy->GetChannelA(), b = copy->GetChannelB();
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  auto activeCount = [&] {
    return int(Audio().ChannelIsActive(a) == BASS_ACTIVE_PLAYING) +
           int(Audio().ChannelIsActive(b) == BASS_ACTIVE_PLAYING);
  };

  copy->Update(0.0);  // the first update triggers
  EXPECT_EQ(activeCount(), 1);
  EXPECT_TRUE(copy->GetCurrentChannel() == a || copy->GetCurrentChannel() == b);
  ASSERT_TRUE(WaitStopped(a) && WaitStopped(b));
  for (double step : {1.0, 0.75}) {
    copy->Update(step);
    EXPECT_EQ(activeCount(), 0) << "triggered early";
  }
  copy->Update(0.25);  // two seconds of update time
  EXPECT_EQ(activeCount(), 1);

  int picked[2] = {};
  for (int i = 0; i < 40; ++i) {
    copy->Update(2.0);
    ++picked[copy->GetCurrentChannel() == b];
  }
  EXPECT_GT(picked[0], 5);
  EXPECT_GT(picked[1], 5);
}

TEST_F(SoundNodes, SoundNode2WithOneSoundNeverPlays) {
  AddFile("a.ogg", ShortTone(0.05));
  Ref<SoundNode2> node = new SoundNode2(String("Half"));
  node->SetFileNames(String("a.ogg"), String("missing.ogg"));
  node->SetTiming(0.5f, 0.25f);
  ASSERT_EQ(node->LoadSounds(), kOk);
  ASSERT_NE(node->GetChannelA(), 0u);
  EXPECT_EQ(node->GetChannelB(), 0u);
  EXPECT_EQ(log_->Count(kLogWarning, Text("Невозможно найти файл [%s] для источника звука. ID[%d] Имя[%s]",
                                          "missing.ogg", node->GetID(), "Half")),
            1);
  for (int i = 0; i < 10; ++i) {
    node->Update(0.5);
    EXPECT_EQ(Audio().ChannelIsActive(node->GetChannelA()), BASS_ACTIVE_STOPPED);
  }
  EXPECT_EQ(node->GetCurrentChannel(), 0u);
}

// A 2 s track: the song is on for its first half and off for the second.
TEST_F(SoundNodes, ASoundNodeAnimationSwitchesTheSoundAlongItsTrack) {
  AddFile("song.ogg", ShortTone(3.0));
  Ref<SoundNode> node = new SoundNode(String("Song"));
  node->SetPlaying(false);
  Ref<SoundNodeAnimation> switches = new SoundNodeAnimation(String("near"));
  for (double time : {0.0, 0.5}) {
    auto keyframe = std::make_unique<BoolKeyframe>();
    keyframe->time = time;
    keyframe->value = time == 0.0;
    switches->AddKeyframe(std::move(keyframe));
  }
  auto* controller = new SoundNodeAnimationController(String("switch"));
  controller->AddAnimation(switches.Get());
  AnimationFrame frame;
  frame.animation = switches;
  frame.end = 1.0;
  controller->AddFrame(frame);
  controller->SetTrackPeriod(2.0);
  ASSERT_EQ(node->AttachController(controller), kOk);

  StartCapture();
  ASSERT_EQ(node->LoadSound(FileManager::FindFile(String("song.ogg")), false), kOk);
  node->Update(0.25);  // phase 0.125: on
  EXPECT_TRUE(node->IsPlaying());
  EXPECT_EQ(Audio().ChannelIsActive(node->GetChannel()), BASS_ACTIVE_PLAYING);
  Sleep(0.2);
  node->Update(1.0);  // phase 0.625: off
  EXPECT_FALSE(node->IsPlaying());
  EXPECT_EQ(Audio().ChannelIsActive(node->GetChannel()), BASS_ACTIVE_STOPPED);
  Sleep(0.2);
  const CapturedAudio out = FinishCapture();
  // Sound while on, silence once switched off.
  const int64_t half = out.Frames() / 2;
  const double early = out.Rms(0, 0, half), late = out.Rms(0, half, out.Frames() - half);
  EXPECT_GT(early, 0.005);
  EXPECT_GT(early, 4.0 * late) << "early " << early << " late " << late;
}

// The camera stands at x = 10 facing +x; the node is 5 units along +z from
// it, which is on the camera's left. The listener takes the camera's pose,
// and the node's Update places its channel relative to it.
TEST_F(SoundNodes, ThreeDNodesAreHeardFromTheActiveCamera) {
  ASSERT_EQ(LoadRenderer(String("TestRenderer")), kOk);
  Renderer* renderer = GetRenderer();
  ASSERT_NE(renderer, nullptr);
  Ref<Camera> camera = new Camera(String("Camera03"));
  camera->LocalTransform().translation = Vector3{10, 0, 0};
  camera->LocalTransform().isIdentity = false;
  camera->LocalTransform().rotationIsIdentity = false;
  for (float sign : {1.0f, -1.0f}) {
    camera->LocalTransform().rotation = Quaternion{0, sign * 0.70710678f, 0, 0.70710678f};
    camera->UpdateGeometricState(0.0, false);
    if (camera->GetDirection().x > 0.99f) break;
  }
  ASSERT_GT(camera->GetDirection().x, 0.99f);
  renderer->SetCamera(camera.Get());

  AddFile("engine.ogg", ShortTone(0.5));
  StartCapture();
  Ref<SoundNode> node = new SoundNode(String("Engine"));
  node->LocalTransform().translation = Vector3{10, 0, 5};
  node->LocalTransform().isIdentity = false;
  node->SetMinDistance(1.0f);
  ASSERT_EQ(node->LoadSound(FileManager::FindFile(String("engine.ogg")), true), kOk);
  (void)renderer->BeginFrame();  // updates the active camera; the stand-in draws nothing
  // The saver's frame hands the active camera's pose to the listener.
  SoundManager::SetListenerPose(camera->GetPosition(), camera->GetDirection(), camera->GetUp());
  node->UpdateGeometricState(0.0, false);
  EXPECT_EQ(Audio().ChannelIsActive(node->GetChannel()), BASS_ACTIVE_PLAYING);
  Sleep(0.35);
  const CapturedAudio out = FinishCapture();
  EXPECT_GT(out.Rms(0), 2.0 * out.Rms(1)) << "left " << out.Rms(0) << " right " << out.Rms(1);
  EXPECT_GT(out.Rms(0), 0.005);
  renderer->SetCamera(nullptr);
  ReleaseRenderer();
}

TEST_F(SoundNodes, WorldBoundIsTheMinimumDistanceAroundTheNode) {
  Ref<SoundNode> node = new SoundNode(String("Fountain"));
  node->SetMinDistance(4.0f);
  node->LocalTransform().translation = Vector3{1, 2, 3};
  node->LocalTransform().scale = Vector3{2, 2, 2};
  node->LocalTransform().isIdentity = false;
  node->UpdateGeometricState(0.0, false);
  auto* sphere = DynamicCast<SphereBoundingVolume>(node->GetWorldBound());
  ASSERT_NE(sphere, nullptr);
  EXPECT_FLOAT_EQ(sphere->GetRadius(), 8.0f);
  EXPECT_FLOAT_EQ(sphere->GetCenter().x, 1.0f);
  EXPECT_FLOAT_EQ(sphere->GetCenter().z, 3.0f);

  Ref<SoundNode2> pair = new SoundNode2(String("Pair"));
  pair->SetMinDistance(6.0f);
  pair->UpdateGeometricState(0.0, false);
  sphere = DynamicCast<SphereBoundingVolume>(pair->GetWorldBound());
  ASSERT_NE(sphere, nullptr);
  EXPECT_FLOAT_EQ(sphere->GetRadius(), 6.0f);
}

}  // namespace
}  // namespace klx::test
