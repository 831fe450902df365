// SPDX-License-Identifier: MIT
#pragma once

// The rows one thread has finished, which another waits on: a reader that splits its rows
// between two threads hands each row over with it.

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace platform::decoders {

class RowCounter {
  public:
    // Says that `rows` rows are done (more than before), waking the thread that waits.
    void raise(int rows);
    // Returns once at least `rows` rows are done.
    void waitUntil(int rows);

  private:
    std::atomic<int> done_{0};
    // Where the system's atomic wait cannot be trusted, a plain mutex and condition stand in:
    // MinGW's libstdc++ 12 waits on atomics through a shared table that lost wake-ups, and both
    // threads waited for ever (RowCounterOther.cpp; Linux waits on the atomic itself).
    std::mutex mutex_;
    std::condition_variable changed_;
};

} // namespace platform::decoders
