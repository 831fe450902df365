// SPDX-License-Identifier: MIT
#include "ClipboardOffer.h"

#include <QClipboard>
#include <QGuiApplication>

namespace platform {

// Qt's Windows clipboard offers an image as a device-independent bitmap among its formats, and
// finding them loads no image plug-in.
void offerPicture(const QImage& image) {
    QGuiApplication::clipboard()->setImage(image);
}

} // namespace platform
