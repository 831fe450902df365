// SPDX-License-Identifier: MIT
#include "FrameExtents.h"

#include <QWidget>
#include <QWindow>

namespace platform::qt {

std::optional<QMargins> waylandFrameExtents(QWidget* window) {
    window->winId();
    const QWindow* handle = window->windowHandle();
    if (handle == nullptr || handle->frameMargins().isNull()) {
        return std::nullopt; // no decoration yet, or the compositor draws none
    }
    return handle->frameMargins();
}

} // namespace platform::qt
