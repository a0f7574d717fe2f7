#include "support/audio_fixture.h"

#include <cstdio>

namespace klx::test {

void AudioTest::SetUp() {
  EngineTest::SetUp();
  audio_ = SoundManager::Audio();
  ASSERT_NE(audio_, nullptr) << "the audio library did not load";
}

void AudioTest::StartCapture() {
  audio_->Free();
  std::remove(CaptureWavePath().c_str());
  ASSERT_TRUE(audio_->Init(-1, 44100, BASS_DEVICE_3D, nullptr, nullptr)) << "error " << audio_->ErrorGetCode();
  audio_->Set3DFactors(1.0f, 1.0f, 1.0f);
  audio_->Apply3D();
}

CapturedAudio AudioTest::FinishCapture() {
  audio_->Free();
  CapturedAudio captured;
  EXPECT_TRUE(ReadCapturedWave(CaptureWavePath(), &captured));
  return captured;
}

HSTREAM AudioTest::MakeStream(std::vector<uint8_t> bytes, AUDIO_DWORD flags) {
  keep_.push_back(std::move(bytes));
  const std::vector<uint8_t>& kept = keep_.back();
  return audio_->StreamCreateFile(1, kept.data(), 0, kept.size(), flags);
}

}  // namespace klx::test
