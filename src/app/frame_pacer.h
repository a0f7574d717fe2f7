#pragma once
// Keeps frames from starting closer together than the display's refresh
// period. Presenting with the swap interval at 1 already waits for the
// refresh; where the driver does not (virtual displays, software drivers),
// a frame loop would otherwise draw hundreds of frames a second that no one
// sees, and keep a processor core busy for hours.

namespace klx {

class FramePacer {
 public:
  // `refreshHz` of 0 or less means unknown: 60.
  explicit FramePacer(double refreshHz = 0) { SetRefreshRate(refreshHz); }

  void SetRefreshRate(double refreshHz);
  double GetPeriod() const { return period_; }

  // Seconds to wait, at `now` (seconds on any steady clock) after a frame
  // was presented, before the next frame may start. A frame that came late
  // waits nothing and the schedule starts again from it, so one slow frame
  // is not followed by a burst of fast ones.
  double WaitAfterFrame(double now);
  // Forgets the schedule (after a pause in the frame loop).
  void Reset() { started_ = false; }

 private:
  double period_ = 1.0 / 60.0;
  double nextStart_ = 0;
  bool started_ = false;
};

}  // namespace klx
