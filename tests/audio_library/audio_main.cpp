// The audio tests' entry: every device this process opens writes to a WAV
// file of its own instead of a sound card.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/sound_test_support.h"

int main(int argc, char** argv) {
  klx::test::ConfigureWaveCapture();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::remove(klx::test::CaptureWavePath().c_str());
  std::remove((klx::test::CaptureWavePath() + ".conf").c_str());
  return result;
}
