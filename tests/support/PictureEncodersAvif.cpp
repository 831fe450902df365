// SPDX-License-Identifier: MIT
// AVIF pictures made with libavif.
#include "PictureEncoders.h"

#include <avif/avif.h>
#include <stdexcept>

namespace testing_support {

bool libavifBuilt() {
    return true;
}

QByteArray encodeAvif(const QImage& source, int quarterTurns, int mirrorMode) {
    const QImage rgba = source.convertToFormat(QImage::Format_RGBA8888);
    avifImage* image = avifImageCreate(uint32_t(rgba.width()), uint32_t(rgba.height()), 8,
                                       AVIF_PIXEL_FORMAT_YUV444);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.pixels = const_cast<uint8_t*>(rgba.constBits());
    rgb.rowBytes = uint32_t(rgba.bytesPerLine());
    if (avifImageRGBToYUV(image, &rgb) != AVIF_RESULT_OK) {
        throw std::runtime_error("avif yuv");
    }
    if (quarterTurns != 0) {
        image->transformFlags |= AVIF_TRANSFORM_IROT;
        image->irot.angle = uint8_t(quarterTurns);
    }
    if (mirrorMode >= 0) {
        image->transformFlags |= AVIF_TRANSFORM_IMIR;
        image->imir.mode = uint8_t(mirrorMode);
    }
    avifEncoder* encoder = avifEncoderCreate();
    encoder->speed = AVIF_SPEED_FASTEST;
    encoder->minQuantizer = encoder->maxQuantizer = AVIF_QUANTIZER_LOSSLESS;
    avifRWData output = AVIF_DATA_EMPTY;
    const avifResult result = avifEncoderWrite(encoder, image, &output);
    const QByteArray bytes(reinterpret_cast<const char*>(output.data), qsizetype(output.size));
    avifRWDataFree(&output);
    avifEncoderDestroy(encoder);
    avifImageDestroy(image);
    if (result != AVIF_RESULT_OK) {
        throw std::runtime_error("avif encode");
    }
    return bytes;
}

} // namespace testing_support
