// SPDX-License-Identifier: MIT
#pragma once

// Work over a picture's rows done in two halves at once, the second on a thread of its own:
// the machines this runs on have at least two cores, and memory-bound passes over a large
// picture nearly halve.

#include <future>

namespace platform::decoders {

// Calls work(first, end) for rows [0, middle) here and [middle, rows) on another thread, where
// middle is half the rows rounded down to a multiple of `step`; for a picture of fewer than
// `minimumRows` rows, once for all of them here.
template <typename Work> void inTwoHalves(int rows, int minimumRows, int step, Work&& work) {
    const int middle = rows >= minimumRows ? rows / 2 / step * step : 0;
    if (middle <= 0) {
        work(0, rows);
        return;
    }
    std::future<void> second = std::async(std::launch::async, [&] { work(middle, rows); });
    work(0, middle);
    second.get();
}

} // namespace platform::decoders
