// SPDX-License-Identifier: MIT
#include "QtImageDecoder.h"

#include "ContainerMetadata.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>

namespace platform::decoders {

namespace {
// Measured (kelmo_bench --reader-margin): a 16-bit PPM (the whole file in memory, Qt's 16-bit
// picture and its conversion), 4.75 pictures.
constexpr double workingPictures = 5.25;
} // namespace

Decoded QtImageDecoder::decode(QFile& file, const DecodeContext& context) const {
    if (context.beforeApplication) {
        throw NeedsApplication{};
    }
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format_);
    reader.setAutoTransform(false); // orientation is applied with every other format's
    const QSize size = reader.size();
    if (size.isValid()) {
        context.checkSize(size.width(), size.height(), workingPictures);
    }
    Decoded decoded;
    // Qt's PNG reader reads into a picture of its size and format when given one: where the
    // pixels are to be handed on without a copy, it is given one made there.
    const QImage::Format format = reader.imageFormat();
    if (context.memory != nullptr && size.isValid() &&
        QImage::toPixelFormat(format).bitsPerPixel() == 32) {
        decoded.image = context.newImage(size.width(), size.height(), format);
    }
    if (!reader.read(&decoded.image) || decoded.image.isNull()) {
        throw DecodeFailure(reader.errorString());
    }
    const QColorSpace space = decoded.image.colorSpace();
    if (space.isValid() && space != QColorSpace(QColorSpace::SRgb)) {
        decoded.iccProfile = space.iccProfile();
    }
    decoded.image.setColorSpace(QColorSpace());
    if (const std::optional<CodePoints> cicp = pngCodePoints(bytes)) {
        decoded.codePoints = *cicp; // over any profile, as PNG's rules say
        decoded.iccProfile.clear();
    }
    decoded.orientation = orientationInContainer(bytes, format_);
    if (decoded.image.hasAlphaChannel()) {
        if (decoded.image.format() != QImage::Format_ARGB32_Premultiplied) {
            decoded.image.convertTo(QImage::Format_ARGB32);
        }
    } else {
        decoded.image.convertTo(QImage::Format_RGB32);
    }
    if (decoded.image.isNull()) {
        throw DecodeFailure(QStringLiteral("no hay memoria suficiente"));
    }
    return decoded;
}

} // namespace platform::decoders
