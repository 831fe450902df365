// SPDX-License-Identifier: MIT
#include "GuiClipboard.h"

#include "ClipboardOffer.h"
#include "PlatformError.h"

namespace platform {

void GuiClipboard::setData(const Picture& picture) {
    const QImage image = picture.toImage();
    if (image.isNull()) {
        throw PlatformError(ErrorNumber::InvalidPicture);
    }
    offerPicture(image);
}

} // namespace platform
