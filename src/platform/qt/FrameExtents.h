// SPDX-License-Identifier: MIT
#pragma once

// The window manager's frame around a top-level window, asked for before the window is mapped,
// so that the first fit already gives the outer size the handlers set, frame included.

#include <QMargins>
#include <optional>

class QWidget;

namespace platform::qt {

// On X11 with a window manager that answers _NET_REQUEST_FRAME_EXTENTS (EWMH), the frame it will
// put around the window; nothing elsewhere, without a window manager, or when it does not answer
// within a fraction of a second. The window gets its native handle if it has none yet.
std::optional<QMargins> requestFrameExtents(QWidget* window);

} // namespace platform::qt
