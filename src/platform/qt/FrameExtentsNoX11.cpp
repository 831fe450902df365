// SPDX-License-Identifier: MIT
// A build without XCB: no X11 frame to ask for.
#include "FrameExtents.h"

namespace platform::qt {

std::optional<QMargins> x11FrameExtents(QWidget*) {
    return std::nullopt;
}

} // namespace platform::qt
