// SPDX-License-Identifier: MIT
#include "JxlDecoder.h"

#include "FrameReader.h"

#include <QFile>
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <memory>

namespace platform::decoders {

namespace {

// libjxl keeps an animation's frames in its own planes of floating-point samples, its reference
// frames among them, while it composes: 16 times the finished frame's bytes at the first frame of
// a 1920 × 1080 animation, and, measured in a locked-down reader, more than 24 and at most 32 with
// the frames that follow.
constexpr int animationWorkingPictures = 32;
// A still picture's, measured (kelmo_bench --reader-margin): a lossless 16-bit JPEG XL with alpha,
// 7.18 pictures.
constexpr double stillWorkingPictures = 7.75;

struct DecoderDeleter {
    void operator()(::JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct RunnerDeleter {
    void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

[[noreturn]] void fail(const char* reason) {
    throw DecodeFailure(QString::fromUtf8(reason));
}

QByteArray pixelsProfile(const ::JxlDecoder* jxl) {
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(jxl, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0) {
        return {};
    }
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(jxl, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t*>(icc.data()),
                                       size) != JXL_DEC_SUCCESS) {
        return {};
    }
    return icc;
}

// An animation's frames as libjxl composes them (coalesced: each one the whole canvas), upright.
class JxlFrames : public FrameReader {
  public:
    JxlFrames(QByteArray bytes, const DecodeContext& context)
        : bytes_(std::move(bytes)), context_(context), jxl_(JxlDecoderCreate(nullptr)),
          runner_(JxlThreadParallelRunnerCreate(nullptr, 2)) {
        if (!jxl_ || !runner_) {
            fail("no hay memoria suficiente");
        }
        if (JxlDecoderSubscribeEvents(jxl_.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                      JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE) !=
                JXL_DEC_SUCCESS ||
            JxlDecoderSetParallelRunner(jxl_.get(), JxlThreadParallelRunner, runner_.get()) !=
                JXL_DEC_SUCCESS ||
            JxlDecoderSetUnpremultiplyAlpha(jxl_.get(), JXL_TRUE) != JXL_DEC_SUCCESS) {
            fail("no se pudo preparar el lector de JPEG XL");
        }
        JxlDecoderSetInput(jxl_.get(), reinterpret_cast<const uint8_t*>(bytes_.constData()),
                           size_t(bytes_.size()));
        JxlDecoderCloseInput(jxl_.get());
    }

    // Reads up to the first frame's header: false where the file is no animation of two frames
    // or more.
    bool open() {
        for (;;) {
            switch (step()) {
            case JXL_DEC_BASIC_INFO:
                if (JxlDecoderGetBasicInfo(jxl_.get(), &basic_) != JXL_DEC_SUCCESS) {
                    fail("la cabecera está dañada");
                }
                if (!basic_.have_animation) {
                    return false;
                }
                // The frames come upright: a turn of a quarter exchanges the sides.
                info_.width = int(basic_.orientation >= 5 ? basic_.ysize : basic_.xsize);
                info_.height = int(basic_.orientation >= 5 ? basic_.xsize : basic_.ysize);
                context_.checkSize(info_.width, info_.height, animationWorkingPictures);
                info_.plays = int(std::min<uint32_t>(basic_.animation.num_loops, 1 << 30));
                break;
            case JXL_DEC_COLOR_ENCODING:
                info_.iccProfile = pixelsProfile(jxl_.get());
                break;
            case JXL_DEC_FRAME:
                return readFrameHeader() && !lastFrame_;
            default:
                fail("el archivo no tiene ninguna imagen");
            }
        }
    }

    const AnimationInfo& info() const override { return info_; }

    std::optional<AnimationFrame> next() override {
        if (!headerRead_) {
            if (lastFrame_) {
                return std::nullopt;
            }
            const JxlDecoderStatus status = step();
            if (status == JXL_DEC_SUCCESS) {
                return std::nullopt;
            }
            if (status != JXL_DEC_FRAME || !readFrameHeader()) {
                fail("los datos de la imagen están dañados");
            }
        }
        headerRead_ = false;
        AnimationFrame frame;
        for (;;) {
            switch (step()) {
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                frame.canvas = outputBuffer();
                break;
            case JXL_DEC_FULL_IMAGE:
                if (frame.canvas.isNull()) {
                    fail("los datos de la imagen están dañados");
                }
                rgbaToArgb32(frame.canvas, basic_.alpha_bits > 0);
                frame.delayMs = delayMs_;
                return frame;
            default:
                fail("los datos de la imagen están dañados");
            }
        }
    }

  private:
    JxlDecoderStatus step() {
        const JxlDecoderStatus status = JxlDecoderProcessInput(jxl_.get());
        if (status == JXL_DEC_NEED_MORE_INPUT) {
            fail("el archivo termina antes de tiempo");
        }
        if (status == JXL_DEC_ERROR) {
            fail("los datos de la imagen están dañados");
        }
        return status;
    }

    bool readFrameHeader() {
        JxlFrameHeader header{};
        if (JxlDecoderGetFrameHeader(jxl_.get(), &header) != JXL_DEC_SUCCESS) {
            return false;
        }
        const auto& tps = basic_.animation;
        const quint64 ms = tps.tps_numerator == 0 ? 0
                                                  : quint64(header.duration) * 1000 *
                                                        tps.tps_denominator / tps.tps_numerator;
        delayMs_ = frameDelayMs(int(std::min<quint64>(ms, 1 << 30)));
        lastFrame_ = header.is_last;
        headerRead_ = true;
        return true;
    }

    QImage outputBuffer() {
        const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
        QImage canvas = context_.newImage(info_.width, info_.height, QImage::Format_RGBA8888);
        size_t needed = 0;
        if (canvas.isNull()) {
            throw std::bad_alloc();
        }
        if (JxlDecoderImageOutBufferSize(jxl_.get(), &format, &needed) != JXL_DEC_SUCCESS ||
            needed > size_t(canvas.sizeInBytes()) ||
            JxlDecoderSetImageOutBuffer(jxl_.get(), &format, canvas.bits(),
                                        size_t(canvas.sizeInBytes())) != JXL_DEC_SUCCESS) {
            fail("los datos de la imagen están dañados");
        }
        return canvas;
    }

    QByteArray bytes_; // read by the decoder as long as it lives
    DecodeContext context_;
    std::unique_ptr<::JxlDecoder, DecoderDeleter> jxl_;
    std::unique_ptr<void, RunnerDeleter> runner_;
    JxlBasicInfo basic_{};
    AnimationInfo info_;
    int delayMs_ = 100;
    bool headerRead_ = false; // the next frame's header is read already
    bool lastFrame_ = false;
};

} // namespace

std::unique_ptr<FrameReader> JxlDecoder::openFrames(QFile& file,
                                                    const DecodeContext& context) const {
    auto frames = std::make_unique<JxlFrames>(file.readAll(), context);
    if (!frames->open()) {
        return nullptr;
    }
    return frames;
}

Decoded JxlDecoder::decode(QFile& file, const DecodeContext& context) const {
    const QByteArray bytes = file.readAll();
    const std::unique_ptr<::JxlDecoder, DecoderDeleter> jxl(JxlDecoderCreate(nullptr));
    const std::unique_ptr<void, RunnerDeleter> runner(JxlThreadParallelRunnerCreate(nullptr, 2));
    if (!jxl || !runner) {
        fail("no hay memoria suficiente");
    }
    if (JxlDecoderSubscribeEvents(jxl.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                 JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(jxl.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(jxl.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(jxl.get(), JXL_TRUE) != JXL_DEC_SUCCESS) {
        fail("no se pudo preparar el lector de JPEG XL");
    }
    JxlDecoderSetInput(jxl.get(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                       size_t(bytes.size()));
    JxlDecoderCloseInput(jxl.get());

    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlBasicInfo info{};
    Decoded decoded;
    for (;;) {
        switch (JxlDecoderProcessInput(jxl.get())) {
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(jxl.get(), &info) != JXL_DEC_SUCCESS) {
                fail("la cabecera está dañada");
            }
            context.checkSize(info.xsize, info.ysize,
                              info.have_animation ? animationWorkingPictures
                                                  : stillWorkingPictures);
            decoded.orientation = Orientation(std::clamp(int(info.orientation), 1, 8));
            break;
        case JXL_DEC_COLOR_ENCODING:
            decoded.iccProfile = pixelsProfile(jxl.get());
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            decoded.image =
                context.newImage(int(info.xsize), int(info.ysize), QImage::Format_RGBA8888);
            size_t needed = 0;
            if (decoded.image.isNull() ||
                JxlDecoderImageOutBufferSize(jxl.get(), &format, &needed) != JXL_DEC_SUCCESS ||
                needed > size_t(decoded.image.sizeInBytes()) ||
                JxlDecoderSetImageOutBuffer(jxl.get(), &format, decoded.image.bits(),
                                            size_t(decoded.image.sizeInBytes())) !=
                    JXL_DEC_SUCCESS) {
                fail("no hay memoria suficiente");
            }
            break;
        }
        case JXL_DEC_FULL_IMAGE: // the first frame is the picture
        case JXL_DEC_SUCCESS:
            if (decoded.image.isNull()) {
                fail("el archivo no tiene ninguna imagen");
            }
            rgbaToArgb32(decoded.image, info.alpha_bits > 0);
            return decoded;
        case JXL_DEC_NEED_MORE_INPUT:
            fail("el archivo termina antes de tiempo");
        default:
            fail("los datos de la imagen están dañados");
        }
    }
}

} // namespace platform::decoders
