// SPDX-License-Identifier: MIT
#include "AvifDecoder.h"

#include "FrameReader.h"

#include <QFile>
#include <avif/avif.h>
#include <memory>

namespace platform::decoders {

namespace {
// A still picture's reader, measured (kelmo_bench --reader-margin): a turned 12-bit 4:4:4 AVIF
// with alpha, 3.42 pictures.
constexpr double stillWorkingPictures = 4.0;

struct DecoderDeleter {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

[[noreturn]] void fail(avifResult result) {
    throw DecodeFailure(QString::fromUtf8(avifResultToString(result)));
}

// Puts the decoded image's pixels into a picture of its size: Format_ARGB32 with alpha, else
// Format_RGB32.
void toRgb(const avifImage* image, bool alpha, QImage& picture) {
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_BGRA; // a Format_(A)RGB32 pixel's bytes
    rgb.depth = 8;
    rgb.ignoreAlpha = alpha ? AVIF_FALSE : AVIF_TRUE;
    rgb.pixels = picture.bits();
    rgb.rowBytes = uint32_t(picture.bytesPerLine());
    if (const avifResult result = avifImageYUVToRGB(image, &rgb); result != AVIF_RESULT_OK) {
        fail(result);
    }
}

// An image sequence's frames, each a whole picture. This libavif says no repetition count: the
// sequence plays for ever.
class AvifFrames : public FrameReader {
  public:
    AvifFrames(QByteArray bytes, const DecodeContext& context)
        : bytes_(std::move(bytes)), context_(context), decoder_(avifDecoderCreate()) {
        if (!decoder_) {
            throw DecodeFailure(QStringLiteral("no hay memoria suficiente"));
        }
        decoder_->ignoreXMP = AVIF_TRUE;
        decoder_->ignoreExif = AVIF_TRUE;
        decoder_->maxThreads = 2;
        avifResult result = avifDecoderSetIOMemory(
            decoder_.get(), reinterpret_cast<const uint8_t*>(bytes_.constData()),
            size_t(bytes_.size()));
        if (result == AVIF_RESULT_OK) {
            result = avifDecoderParse(decoder_.get());
        }
        if (result != AVIF_RESULT_OK) {
            fail(result);
        }
        const avifImage* image = decoder_->image;
        info_.width = int(image->width);
        info_.height = int(image->height);
        info_.frameCount = decoder_->imageCount;
        if (image->icc.size > 0) {
            info_.iccProfile = QByteArray(reinterpret_cast<const char*>(image->icc.data),
                                          qsizetype(image->icc.size));
        }
        info_.codePoints = {int(image->colorPrimaries), int(image->transferCharacteristics)};
    }

    bool animated() const { return decoder_->imageCount > 1; }
    const AnimationInfo& info() const override { return info_; }

    std::optional<AnimationFrame> next() override {
        const avifResult result = avifDecoderNextImage(decoder_.get());
        if (result == AVIF_RESULT_NO_IMAGES_REMAINING) {
            return std::nullopt;
        }
        if (result != AVIF_RESULT_OK) {
            fail(result);
        }
        const avifImage* image = decoder_->image;
        if (int(image->width) != info_.width || int(image->height) != info_.height) {
            throw DecodeFailure(QStringLiteral("el archivo AVIF está dañado"));
        }
        const bool alpha = decoder_->alphaPresent != AVIF_FALSE;
        AnimationFrame frame;
        frame.canvas = context_.newImage(info_.width, info_.height,
                                         alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (frame.canvas.isNull()) {
            throw std::bad_alloc();
        }
        toRgb(image, alpha, frame.canvas);
        const avifImageTiming& timing = decoder_->imageTiming;
        const quint64 ms =
            timing.timescale == 0 ? 0 : timing.durationInTimescales * 1000 / timing.timescale;
        frame.delayMs = frameDelayMs(int(std::min<quint64>(ms, 1 << 30)));
        return frame;
    }

  private:
    QByteArray bytes_; // read by the decoder as long as it lives
    DecodeContext context_;
    std::unique_ptr<avifDecoder, DecoderDeleter> decoder_;
    AnimationInfo info_;
};

} // namespace

std::unique_ptr<FrameReader> AvifDecoder::openFrames(QFile& file,
                                                     const DecodeContext& context) const {
    auto frames = std::make_unique<AvifFrames>(file.readAll(), context);
    if (!frames->animated()) {
        return nullptr;
    }
    context.checkSize(frames->info().width, frames->info().height, frameReaderWorkingPictures);
    return frames;
}

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
    context.checkSize(image->width, image->height, stillWorkingPictures);
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
    toRgb(image, alpha, decoded.image);
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
