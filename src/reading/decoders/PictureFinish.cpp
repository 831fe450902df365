// SPDX-License-Identifier: MIT
#include "PictureFinish.h"

#include "ColourToSrgb.h"
#include "Upright.h"

namespace platform::decoders {

namespace {

// Qt's own conversion may go through its thread pool; this one stays on the reading thread.
void premultiply(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = qPremultiply(row[x]);
        }
    }
    image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

QImage finishPicture(Decoded decoded, const DecodeContext& context) {
    if (context.beforeApplication && colourNeedsToolkit(decoded)) {
        throw NeedsApplication{};
    }
    convertToSrgb(decoded);
    QImage image = turnUpright(decoded.image, decoded.orientation, context);
    decoded.image = QImage(); // the stored pixels go as soon as the turned ones exist
    if (image.format() == QImage::Format_ARGB32) {
        premultiply(image);
    }
    return image;
}

} // namespace platform::decoders
