// SPDX-License-Identifier: MIT
#include "FrameExtents.h"

#include <QGuiApplication>

namespace platform::qt {

std::optional<QMargins> requestFrameExtents(QWidget* window) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        return x11FrameExtents(window);
    }
    if (platform.startsWith(QLatin1String("wayland"))) {
        return waylandFrameExtents(window);
    }
    return std::nullopt; // offscreen, Windows: no frame known ahead
}

} // namespace platform::qt
