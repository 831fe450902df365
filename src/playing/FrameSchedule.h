// SPDX-License-Identifier: MIT
#pragma once

// When each frame of an animation is due. Frames follow one another on one timeline, so that a
// frame shown a little late (the event loop was busy) leaves the next one's time where it was and
// a loop does not drift; a frame that was not ready when due, or is shown after a pause, starts
// the timeline again from the moment it is shown, so it is never shown late and then cut short.

#include <chrono>
#include <optional>

namespace playing {

using FrameClockTime = std::chrono::steady_clock::time_point;

class FrameSchedule {
  public:
    // A frame staying delayMs went on screen at `now`: `onTime` when it was shown for its due
    // time (it was ready then). Returns when the next frame is due.
    FrameClockTime shown(FrameClockTime now, int delayMs, bool onTime);
    // Playing stopped (a pause, the window hidden): the next frame shown starts afresh.
    void interrupt() { due_.reset(); }

  private:
    std::optional<FrameClockTime> due_; // when the frame now shown was due
};

} // namespace playing
