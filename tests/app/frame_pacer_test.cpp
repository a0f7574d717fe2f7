// The frame pacer on a simulated clock: quick frames are spread to the
// display's refresh, slow frames never wait, and a slow frame is not
// followed by a burst.

#include <gtest/gtest.h>

#include <vector>

#include "app/frame_pacer.h"

namespace klx {
namespace {

// Plays frames of the given work times through the pacer; the times at
// which each frame was presented.
std::vector<double> Play(FramePacer& pacer, const std::vector<double>& work) {
  std::vector<double> presented;
  double now = 0;
  for (double seconds : work) {
    now += seconds;
    presented.push_back(now);
    now += pacer.WaitAfterFrame(now);
  }
  return presented;
}

TEST(FramePacer, QuickFramesComeAtTheRefreshRateAndNoFaster) {
  FramePacer pacer(60);
  const std::vector<double> times = Play(pacer, std::vector<double>(122, 0.002));
  // The first frame starts the schedule; from the second on, 120 periods
  // take two seconds, less the margin kept for displays that run a little
  // faster than they report.
  EXPECT_NEAR(times.back() - times[1], 2.0 * 0.98, 1e-9);
  for (size_t i = 2; i < times.size(); ++i) EXPECT_NEAR(times[i] - times[i - 1], pacer.GetPeriod(), 1e-9);

  // An unknown rate counts as 60 Hz; a faster display gets a shorter period.
  EXPECT_DOUBLE_EQ(FramePacer(0).GetPeriod(), pacer.GetPeriod());
  EXPECT_NEAR(FramePacer(144).GetPeriod(), 0.98 / 144, 1e-12);
}

TEST(FramePacer, SlowFramesNeverWaitAndAreNotFollowedByABurst) {
  FramePacer pacer(60);
  // Every frame longer than the period: no waiting at all.
  double now = 0;
  for (int i = 0; i < 10; ++i) {
    now += 0.03;
    EXPECT_EQ(pacer.WaitAfterFrame(now), 0.0);
  }
  // A quick frame after a slow one still waits out its period: the
  // schedule starts from the slow frame, it does not catch up.
  now += 0.002;
  EXPECT_NEAR(pacer.WaitAfterFrame(now), pacer.GetPeriod() - 0.002, 1e-9);

  // After a reset (or a new rate) the next frame starts a new schedule.
  pacer.Reset();
  EXPECT_EQ(pacer.WaitAfterFrame(now + 0.001), 0.0);
  pacer.SetRefreshRate(30);
  EXPECT_EQ(pacer.WaitAfterFrame(now + 0.002), 0.0);
  EXPECT_NEAR(pacer.WaitAfterFrame(now + 0.003), 0.98 / 30 - 0.001, 1e-9);
}

}  // namespace
}  // namespace klx
