// SPDX-License-Identifier: MIT
#include "FreshPages.h"

#include <algorithm>
#include <cstdint>

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#include <unistd.h>
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it
#endif
#endif

namespace platform::decoders {

void makePagesFor([[maybe_unused]] void* first, [[maybe_unused]] std::size_t bytes) {
#if defined(Q_OS_LINUX)
    // Only the whole pages inside: the partial ones at the ends may belong to other memory.
    static const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(first);
    const std::uintptr_t begin = (start + page - 1) & ~(page - 1);
    const std::uintptr_t end = (start + bytes) & ~(page - 1);
    if (end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    }
#endif
}

PagesAhead::PagesAhead(std::initializer_list<Range> ranges) {
    std::size_t total = 0;
    for (const Range& range : ranges) {
        total += range.bytes;
    }
    if (total < std::size_t(8) << 20) {
        return;
    }
    thread_ = std::jthread([list = std::vector<Range>(ranges)](std::stop_token stop) {
        constexpr std::size_t band = 4 << 20;
        for (const Range& range : list) {
            for (std::size_t done = 0; done < range.bytes && !stop.stop_requested(); done += band) {
                makePagesFor(range.first + done, std::min(band, range.bytes - done));
            }
        }
    });
}

} // namespace platform::decoders
