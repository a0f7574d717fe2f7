// The demo's music as scenebuild synthesises it: long enough not to grate,
// and a loop whose end runs into its start without a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sounds.h"

namespace klx {
namespace {

double Rms(const content::SoundSamples& sound, int64_t firstFrame, int64_t frames) {
  double sum = 0.0;
  for (int64_t i = 0; i < frames * sound.channels; ++i) {
    const double value = sound.samples[static_cast<size_t>(firstFrame * sound.channels + i)];
    sum += value * value;
  }
  return std::sqrt(sum / static_cast<double>(frames * sound.channels));
}

TEST(DemoMusic, PlaysTwoMinutesBeforeItRepeatsAndLoopsWithoutASeam) {
  const content::SoundSamples music = scenebuild::SynthesizeMusic();
  ASSERT_EQ(music.channels, 2);
  const int64_t frames = music.Frames();
  ASSERT_GE(frames, int64_t{120} * music.rate);

  // The second minute is music of its own, not the first one again.
  const int64_t minute = int64_t{60} * music.rate;
  double difference = 0.0;
  for (int64_t i = 0; i < minute * 2; ++i) {
    const double d = music.samples[static_cast<size_t>(i)] - music.samples[static_cast<size_t>(minute * 2 + i)];
    difference += d * d;
  }
  EXPECT_GT(std::sqrt(difference / static_cast<double>(minute * 2)), 0.5 * Rms(music, 0, minute));

  // The step from the last frame to the first is no larger than the steps
  // inside the loop, and the music is as loud on both sides of the seam.
  for (int channel = 0; channel < 2; ++channel) {
    double largestStep = 0.0;
    for (int64_t i = 1; i < frames; ++i) {
      const double step = music.samples[static_cast<size_t>(i * 2 + channel)] -
                          music.samples[static_cast<size_t>((i - 1) * 2 + channel)];
      largestStep = std::max(largestStep, std::fabs(step));
    }
    const double seam = std::fabs(static_cast<double>(music.samples[static_cast<size_t>(channel)]) -
                                  music.samples[static_cast<size_t>((frames - 1) * 2 + channel)]);
    EXPECT_LE(seam, largestStep) << channel;
  }
  const int64_t half = music.rate / 2;
  const double before = Rms(music, frames - half, half), after = Rms(music, 0, half);
  EXPECT_GT(before, 0.01);
  EXPECT_LT(std::max(before, after) / std::min(before, after), 2.0);
}

}  // namespace
}  // namespace klx
