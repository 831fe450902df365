// SPDX-License-Identifier: MIT
#include "FrameSchedule.h"

namespace playing {

FrameClockTime FrameSchedule::shown(FrameClockTime now, int delayMs, bool onTime) {
    const std::chrono::milliseconds delay(delayMs);
    // Lateness is carried while the frame still has some of its time left; one shown later than
    // that (the machine stalled) restarts the timeline rather than flashing frames to catch up.
    const bool carry = onTime && due_ && now - *due_ < delay;
    const FrameClockTime base = carry ? *due_ : now;
    due_ = base + delay;
    return *due_;
}

} // namespace playing
