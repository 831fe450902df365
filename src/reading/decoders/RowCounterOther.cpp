// SPDX-License-Identifier: MIT
#include "RowCounter.h"

namespace platform::decoders {

void RowCounter::raise(int rows) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        done_.store(rows, std::memory_order_release);
    }
    changed_.notify_one();
}

void RowCounter::waitUntil(int rows) {
    if (done_.load(std::memory_order_acquire) >= rows) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return done_.load(std::memory_order_acquire) >= rows; });
}

} // namespace platform::decoders
