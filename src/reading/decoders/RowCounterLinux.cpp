// SPDX-License-Identifier: MIT
// On Linux the atomic is waited on directly (a futex): waking a waiting thread is the cost, and
// this is its cheapest form.
#include "RowCounter.h"

namespace platform::decoders {

void RowCounter::raise(int rows) {
    done_.store(rows, std::memory_order_release);
    done_.notify_one();
}

void RowCounter::waitUntil(int rows) {
    int now = done_.load(std::memory_order_acquire);
    while (now < rows) {
        done_.wait(now, std::memory_order_acquire);
        now = done_.load(std::memory_order_acquire);
    }
}

} // namespace platform::decoders
