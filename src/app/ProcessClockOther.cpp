// SPDX-License-Identifier: MIT
// Where the process's start time is not at hand, start-up is measured from the first call.
#include "StartupTrace.h"

#include <chrono>

namespace app {

double millisecondsSinceProcessStart() {
    static const auto first = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first)
        .count();
}

} // namespace app
