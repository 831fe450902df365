// SPDX-License-Identifier: MIT
#include "JxlDecoder.h"

#include <QFile>
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <memory>

namespace platform::decoders {

namespace {

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

} // namespace

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
            context.checkSize(info.xsize, info.ysize);
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
