#pragma once
// A started engine whose sound manager opened OpenAL Soft's wave backend
// (see sound_test_support.h), with helpers to capture what is played.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "sound/sound_manager.h"
#include "support/engine_fixture.h"
#include "support/sound_test_support.h"

namespace klx::test {

class AudioTest : public EngineTest {
 protected:
  void SetUp() override;

  const AudioFunctions& Audio() const { return *audio_; }
  // Reopens the device, so the capture file starts empty.
  void StartCapture();
  // Closes the device (which frees every stream) and reads what it wrote.
  CapturedAudio FinishCapture();
  // A stream over bytes that the fixture keeps alive.
  HSTREAM MakeStream(std::vector<uint8_t> bytes, AUDIO_DWORD flags);

  static void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }

  const AudioFunctions* audio_ = nullptr;
  std::vector<std::vector<uint8_t>> keep_;
};

}  // namespace klx::test
