#include "app/frame_pacer.h"

namespace klx {

namespace {

// A little under the period: a display reported at 59 Hz that runs at
// 59.94 must not have each frame held past the refresh it was ready for.
constexpr double kPeriodShare = 0.98;

}  // namespace

void FramePacer::SetRefreshRate(double refreshHz) {
  period_ = kPeriodShare / (refreshHz > 0 ? refreshHz : 60.0);
  started_ = false;
}

double FramePacer::WaitAfterFrame(double now) {
  if (!started_ || now >= nextStart_) {
    started_ = true;
    nextStart_ = now + period_;
    return 0;
  }
  const double wait = nextStart_ - now;
  nextStart_ += period_;
  return wait;
}

}  // namespace klx
