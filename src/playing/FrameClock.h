// SPDX-License-Identifier: MIT
#pragma once

// The clock an animation plays by: the time now, and one wake-up at a time on the main thread.
// The program's runs on a precise timer of the event loop; the tests' is turned by hand.

#include "FrameSchedule.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace playing {

class FrameClock {
  public:
    virtual ~FrameClock() = default;
    virtual FrameClockTime now() const = 0;
    // Runs wake once, at `when` or as soon after as the event loop can, in place of any wake-up
    // set before.
    virtual void wakeAt(FrameClockTime when, std::function<void()> wake) = 0;
    virtual void cancel() = 0;
};

class EventLoopClock : public FrameClock {
  public:
    EventLoopClock();
    FrameClockTime now() const override { return std::chrono::steady_clock::now(); }
    void wakeAt(FrameClockTime when, std::function<void()> wake) override;
    void cancel() override { timer_.stop(); }

  private:
    QTimer timer_;
    std::function<void()> wake_;
};

} // namespace playing
