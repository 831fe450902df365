// SPDX-License-Identifier: MIT
#include "AvifDecoder.h"

#include <QFile>
#include <avif/avif.h>
#include <memory>

namespace platform::decoders {

namespace {

struct DecoderDeleter {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

[[noreturn]] void fail(avifResult result) {
    throw DecodeFailure(QString::fromUtf8(avifResultToString(result)));
}

} // namespace

Decoded AvifDecoder::decode(QFile& file, const DecodeContext& context) const {
    const QByteArray bytes = file.readAll();
    const std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
    if (!decoder) {
        throw DecodeFailure(QStringLiteral("no hay memoria suficiente"));
    }
    decoder->ignoreXMP = AVIF_TRUE;
    decoder->ignoreExif = AVIF_TRUE; // the rotation and mirror boxes are what count
    decoder->maxThreads = 2;
    avifResult result = avifDecoderSetIOMemory(
        decoder.get(), reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    if (result == AVIF_RESULT_OK) {
        result = avifDecoderParse(decoder.get());
    }
    if (result != AVIF_RESULT_OK) {
        fail(result);
    }
    const avifImage* image = decoder->image;
    context.checkSize(image->width, image->height);
    if ((result = avifDecoderNextImage(decoder.get())) != AVIF_RESULT_OK) {
        fail(result);
    }
    Decoded decoded;
    const bool alpha = decoder->alphaPresent != AVIF_FALSE;
    decoded.image = context.newImage(int(image->width), int(image->height),
                                     alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (decoded.image.isNull()) {
        throw DecodeFailure(QStringLiteral("no hay memoria suficiente"));
    }
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_BGRA; // a Format_(A)RGB32 pixel's bytes
    rgb.depth = 8;
    rgb.ignoreAlpha = alpha ? AVIF_FALSE : AVIF_TRUE;
    rgb.pixels = decoded.image.bits();
    rgb.rowBytes = uint32_t(decoded.image.bytesPerLine());
    if ((result = avifImageYUVToRGB(image, &rgb)) != AVIF_RESULT_OK) {
        fail(result);
    }
    if (image->icc.size > 0) {
        decoded.iccProfile =
            QByteArray(reinterpret_cast<const char*>(image->icc.data), qsizetype(image->icc.size));
    }
    decoded.codePoints = {int(image->colorPrimaries), int(image->transferCharacteristics)};
    const int turns = (image->transformFlags & AVIF_TRANSFORM_IROT) ? image->irot.angle : 0;
    const int mirror = (image->transformFlags & AVIF_TRANSFORM_IMIR) ? image->imir.mode : -1;
    decoded.orientation = orientationOfBoxes(turns, mirror);
    return decoded;
}

} // namespace platform::decoders
