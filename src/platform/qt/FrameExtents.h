// SPDX-License-Identifier: MIT
#pragma once

// The frame a desktop puts around a top-level window, asked for before the window is shown, so
// that the first fit already gives the outer size the handlers set, frame included. Each desktop
// has a file of its own; requestFrameExtents picks the one Qt runs on.

#include <QMargins>
#include <optional>

class QWidget;

namespace platform::qt {

// The frame of the desktop Qt runs on; nothing where it is not known before the window shows
// (once shown, Qt knows it: QWidget::frameGeometry).
std::optional<QMargins> requestFrameExtents(QWidget* window);

// X11 with a window manager that answers _NET_REQUEST_FRAME_EXTENTS (EWMH): the frame it will
// put around the window; nothing without a window manager, when it does not answer within a
// fraction of a second, or in a build without XCB. The window gets its native handle.
std::optional<QMargins> x11FrameExtents(QWidget* window);

// Wayland: the margins of Qt's own decoration (title bar and borders drawn by the program),
// where Qt has made it by the time the window has its native handle; Qt 6.4 makes it when the
// window is first shown, before its first frame.
std::optional<QMargins> waylandFrameExtents(QWidget* window);

} // namespace platform::qt
