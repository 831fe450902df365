// SPDX-License-Identifier: MIT
#pragma once

// Work handed to another thread through Qt's own queues (its thread pool) is ordered by Qt's
// locks, which ThreadSanitizer cannot see: Qt is not built with it and its mutexes wait on
// futexes. These two calls tell it about the order that is there: handOver(token) after the
// work is built and before it is queued, takeOver(token) where the other thread picks it up,
// before it reads anything of the work (so the token is an address both know beforehand).
// They cost nothing outside ThreadSanitizer builds.

#if defined(__SANITIZE_THREAD__)
#define KELMO_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELMO_TSAN 1
#endif
#endif

#if defined(KELMO_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace platform {

inline void handOver([[maybe_unused]] const void* token) {
#if defined(KELMO_TSAN)
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void takeOver([[maybe_unused]] const void* token) {
#if defined(KELMO_TSAN)
    __tsan_acquire(const_cast<void*>(token));
#endif
}

} // namespace platform
