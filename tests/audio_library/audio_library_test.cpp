// The audio library through the engine's sound manager: what reaches the
// output for 3-D placement, volume, looping, stop and restart, and how it
// answers bad handles and bad data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "support/audio_fixture.h"
#include "support/log_capture.h"

namespace klx::test {
namespace {

SoundSamples Tone(double seconds, double amplitude, int channels = 1) {
  SoundSamples sound;
  sound.channels = channels;
  AppendTone(sound, seconds, 440.0, amplitude);
  return sound;
}

using AudioLibrary = AudioTest;

TEST_F(AudioLibrary, EngineStartLoadsTheLibraryAndOpensTheDevice) {
  EXPECT_EQ(Audio().GetVersion(), kAudioLibraryVersion);
  EXPECT_TRUE(log_->Has(kLogInfo, Text("Звук инициализирован. Устройство [%d] [%s]", 1,
                                       Audio().GetDeviceDescription(1))));
  EXPECT_TRUE(log_->Has(kLogInfo, Text("Менеджер звука инициализирован.")));
  // Starting again with a window keeps the open device.
  EXPECT_TRUE(SoundManager::OpenDevice(nullptr));
  EXPECT_EQ(Audio().GetDevice(), 1u);
}

TEST_F(AudioLibrary, MasterVolumeIsCappedAt100) {
  SoundManager::SetMasterVolume(250);
  EXPECT_EQ(Audio().GetConfig(BASS_CONFIG_GVOL_STREAM), 100u);
  SoundManager::SetMasterVolume(40);
  EXPECT_EQ(Audio().GetConfig(BASS_CONFIG_GVOL_STREAM), 40u);
}

// The listener faces +z with +y up in the engine's left-handed space, so +x
// is on the right; turned to face +x, the +z side is on the left.
TEST_F(AudioLibrary, ThreeDSourcesArePlacedAroundTheListener) {
  struct Case {
    Vector3 front;
    BASS_3DVECTOR source;
    int louder;  // 0 left, 1 right, -1 neither
  };
  const Case cases[] = {
      {{0, 0, 1}, {5, 0, 0}, 1},
      {{0, 0, 1}, {-5, 0, 0}, 0},
      {{0, 0, 1}, {0, 0, 5}, -1},
      {{1, 0, 0}, {0, 0, 5}, 0},
  };
  for (const Case& c : cases) {
    StartCapture();
    SoundManager::SetListenerOrientation(c.front, Vector3{0, 1, 0});
    const HSTREAM stream = MakeStream(EncodeWave(Tone(0.5, 0.5)), BASS_SAMPLE_3D);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(Audio().ChannelSet3DAttributes(stream, BASS_3DMODE_NORMAL, 1.0f, -1.0f, -1, -1, -1));
    ASSERT_TRUE(Audio().ChannelSet3DPosition(stream, &c.source, nullptr, nullptr));
    Audio().Apply3D();
    ASSERT_TRUE(Audio().ChannelPlay(stream, 0));
    Sleep(0.3);
    const CapturedAudio out = FinishCapture();
    const double left = out.Rms(0), right = out.Rms(1);
    SCOPED_TRACE(testing::Message() << "front " << c.front.x << "," << c.front.z << " source " << c.source.x
                                    << "," << c.source.z << ": left " << left << " right " << right);
    ASSERT_GT(left + right, 0.005);
    if (c.louder == 1) {
      EXPECT_GT(right, 2.0 * left);
    } else if (c.louder == 0) {
      EXPECT_GT(left, 2.0 * right);
    } else {
      EXPECT_NEAR(left / right, 1.0, 0.1);
    }
  }
}

TEST_F(AudioLibrary, VolumeScalesLinearlyAndZeroIsSilent) {
  double level[3] = {};
  const int volumes[3] = {100, 50, 0};
  for (int i = 0; i < 3; ++i) {
    StartCapture();
    const HSTREAM stream = MakeStream(EncodeWave(Tone(0.5, 0.5)), 0);
    ASSERT_TRUE(Audio().ChannelSetAttributes(stream, -1, volumes[i], -101));
    AUDIO_DWORD volume = 0;
    ASSERT_TRUE(Audio().ChannelGetAttributes(stream, nullptr, &volume, nullptr));
    EXPECT_EQ(volume, static_cast<AUDIO_DWORD>(volumes[i]));
    Audio().ChannelPlay(stream, 0);
    Sleep(0.25);
    const CapturedAudio out = FinishCapture();
    // The loudest 5 ms stretch: the tone's level while it played.
    double loudest = 0.0;
    for (int64_t at = 0; at + 220 <= out.Frames(); at += 220) loudest = std::max(loudest, out.Rms(0, at, 220));
    level[i] = loudest;
  }
  ASSERT_GT(level[0], 0.05);
  EXPECT_NEAR(level[1] / level[0], 0.5, 0.05);
  EXPECT_LT(level[2], 1e-4);
}

TEST_F(AudioLibrary, LoopingOggStreamPlaysPastItsEnd) {
  StartCapture();
  const HSTREAM looping = MakeStream(EncodeOggVorbis(Tone(0.15, 0.5, 2)), BASS_SAMPLE_LOOP);
  const HSTREAM once = MakeStream(EncodeOggVorbis(Tone(0.15, 0.5, 2)), 0);
  ASSERT_NE(looping, 0u);
  ASSERT_NE(once, 0u);
  Audio().ChannelSetAttributes(once, -1, 0, -101);  // only the looping one is heard
  Audio().ChannelPlay(looping, 0);
  Audio().ChannelPlay(once, 0);
  Sleep(0.6);
  EXPECT_EQ(Audio().ChannelIsActive(looping), BASS_ACTIVE_PLAYING);
  EXPECT_EQ(Audio().ChannelIsActive(once), BASS_ACTIVE_STOPPED);
  // Without restart a stream that played to its end stays there.
  Audio().ChannelPlay(once, 0);
  EXPECT_EQ(Audio().ChannelIsActive(once), BASS_ACTIVE_STOPPED);
  const CapturedAudio out = FinishCapture();
  EXPECT_GT(SecondsWithin(out, 0.1, 1.0), 0.45);
}

// A tone of two levels, quiet then loud, 0.2 s each. Stopped 0.1 s in, a
// play without restart resumes (0.2 s of quiet tone in all); with restart
// the quiet part is heard again from its start.
TEST_F(AudioLibrary, PlayResumesAfterStopAndRestartStartsOver) {
  double quiet[2] = {};
  double loud[2] = {};
  for (int restart = 0; restart < 2; ++restart) {
    StartCapture();
    SoundSamples sound;
    AppendTone(sound, 0.2, 440.0, 0.15);
    AppendTone(sound, 0.2, 440.0, 0.6);
    const HSTREAM stream = MakeStream(EncodeWave(sound), 0);
    Audio().ChannelPlay(stream, 0);
    Sleep(0.1);
    Audio().ChannelStop(stream);
    EXPECT_EQ(Audio().ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    Sleep(0.05);
    Audio().ChannelPlay(stream, restart);
    Sleep(0.8);  // the backend writes in blocks; the last one must be out
    const CapturedAudio out = FinishCapture();
    // Levels of the two parts as the output carries them.
    quiet[restart] = SecondsWithin(out, 0.03, 0.12);
    loud[restart] = SecondsWithin(out, 0.15, 1.0);
  }
  EXPECT_NEAR(quiet[0], 0.2, 0.03);
  EXPECT_NEAR(loud[0], 0.2, 0.03);
  EXPECT_GT(quiet[1], quiet[0] + 0.05);
  EXPECT_NEAR(loud[1], 0.2, 0.03);
}

TEST_F(AudioLibrary, BadHandlesAndDataAreRefused) {
  EXPECT_FALSE(Audio().ChannelPlay(12345, 0));
  EXPECT_EQ(Audio().ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(Audio().ChannelIsActive(12345), BASS_ACTIVE_STOPPED);

  const std::vector<uint8_t> noise(1000, 0x5A);
  EXPECT_EQ(MakeStream(noise, 0), 0u);
  EXPECT_EQ(Audio().ErrorGetCode(), BASS_ERROR_FILEFORM);
  std::vector<uint8_t> ogg = EncodeOggVorbis(Tone(0.2, 0.5));
  ogg.resize(ogg.size() / 3);  // headers, then nothing
  const HSTREAM cut = MakeStream(ogg, 0);
  if (cut != 0) {
    // A stream over a cut file plays what there is and ends.
    Audio().ChannelPlay(cut, 0);
    Sleep(0.3);
    EXPECT_EQ(Audio().ChannelIsActive(cut), BASS_ACTIVE_STOPPED);
  }
  const HSTREAM flat = MakeStream(EncodeWave(Tone(0.1, 0.5)), 0);
  ASSERT_NE(flat, 0u);
  const BASS_3DVECTOR position{1, 0, 0};
  EXPECT_FALSE(Audio().ChannelSet3DPosition(flat, &position, nullptr, nullptr));
  EXPECT_EQ(Audio().ErrorGetCode(), BASS_ERROR_NO3D);
  EXPECT_TRUE(Audio().StreamFree(flat));
  EXPECT_FALSE(Audio().StreamFree(flat));
  EXPECT_FALSE(Audio().StreamCreateFile(0, "file.ogg", 0, 0, 0));
}

// The wave backend writing into /dev/full fails at its first block and
// reports the device disconnected, as an unplugged headset would.
TEST_F(AudioLibrary, ALostDeviceIsToldOnceAndTheStreamsGoOnSilently) {
  audio_->Free();
  std::remove(CaptureWavePath().c_str());
  ASSERT_EQ(symlink("/dev/full", CaptureWavePath().c_str()), 0);
  ScopedLogCapture log;
  ASSERT_TRUE(SoundManager::OpenDevice(nullptr));
  EXPECT_EQ(Audio().IsStarted(), 1u);
  SoundSamples music;
  AppendTone(music, 2.0, 440.0, 0.5);
  const HSTREAM stream = MakeStream(EncodeOggVorbis(music), BASS_SAMPLE_LOOP);
  ASSERT_NE(stream, 0u);
  ASSERT_TRUE(Audio().ChannelPlay(stream, 0));
  Sleep(0.3);
  EXPECT_EQ(Audio().IsStarted(), 0u);
  SoundManager::CheckDevice();
  SoundManager::CheckDevice();
  EXPECT_EQ(log->Count(kLogWarning, Text("Звуковое устройство потеряно. Работа продолжается без звука.")), 1);

  // The engine's calls keep succeeding and the stream keeps the state it
  // was given.
  EXPECT_EQ(Audio().ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
  EXPECT_TRUE(Audio().ChannelPlay(stream, 1));
  EXPECT_TRUE(Audio().ChannelStop(stream));

  // A device opened again plays.
  audio_->Free();
  std::remove(CaptureWavePath().c_str());
  ASSERT_TRUE(SoundManager::OpenDevice(nullptr));
  EXPECT_EQ(Audio().IsStarted(), 1u);
}

}  // namespace
}  // namespace klx::test
