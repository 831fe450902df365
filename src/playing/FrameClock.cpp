// SPDX-License-Identifier: MIT
#include "FrameClock.h"

#include <algorithm>

namespace playing {

EventLoopClock::EventLoopClock() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (wake_) {
            std::function<void()> wake = std::move(wake_);
            wake_ = nullptr;
            wake();
        }
    });
}

void EventLoopClock::wakeAt(FrameClockTime when, std::function<void()> wake) {
    wake_ = std::move(wake);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(when - now());
    timer_.start(int(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, 1 << 30)));
}

} // namespace playing
