// SPDX-License-Identifier: MIT
#include "FreshPages.h"

#include <algorithm>
#include <cstdint>

namespace platform::decoders {

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
