// SPDX-License-Identifier: MIT
#include "GuiClipboard.h"

#include "PlatformError.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

void GuiClipboard::setData(const Picture& picture) {
    const QImage image = picture.toImage();
    if (image.isNull()) {
        throw PlatformError(ErrorNumber::InvalidPicture);
    }
    QGuiApplication::clipboard()->setImage(image);
}

} // namespace platform
