#pragma once
// Frame timing: a millisecond tick clock read once per frame, and the frame
// rate measured over about a second.

#include <cstdint>

#include "platform/tick_clock.h"

namespace klx {

class FrameTimer {
 public:
  using Clock = uint64_t (*)();
  explicit FrameTimer(Clock clock = &GetTickCountMs) : clock_(clock), previous_(clock()) {}

  // Seconds since the previous reading; this reading becomes the previous.
  double Delta() {
    const uint64_t now = clock_();
    const double seconds = static_cast<double>(now - previous_) * 0.001;
    previous_ = now;
    return seconds;
  }
  void Reset() { previous_ = clock_(); }

 private:
  Clock clock_;
  uint64_t previous_;
};

class FpsCounter {
 public:
  explicit FpsCounter(FrameTimer::Clock clock = &GetTickCountMs) : timer_(clock) {}

  // Counts a frame; once more than a second has gathered, the rate becomes
  // the frames counted over the time gathered and counting starts over with
  // the second taken off.
  void Tick() {
    ++frames_;
    accumulated_ += timer_.Delta();
    if (accumulated_ > 1.0) {
      rate_ = frames_ / accumulated_;
      frames_ = 0;
      accumulated_ -= 1.0;
    }
  }
  double GetRate() const { return rate_; }

 private:
  FrameTimer timer_;
  int32_t frames_ = 0;
  double accumulated_ = 0.0;
  double rate_ = 0.0;
};

}  // namespace klx
