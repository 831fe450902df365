// SPDX-License-Identifier: MIT
#include "WebpDecoder.h"

#include "reading/decoders/ContainerMetadata.h"
#include "reading/decoders/FreshPages.h"

#include <QColorSpace>
#include <QFile>
#include <webp/decode.h>
#include <webp/demux.h>

namespace platform::decoders {

namespace {

[[noreturn]] void fail(const char* reason) {
    throw DecodeFailure(QString::fromUtf8(reason));
}

class Demuxer {
  public:
    explicit Demuxer(const QByteArray& bytes) {
        const WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()),
                            size_t(bytes.size())};
        demux_ = WebPDemux(&data);
    }
    ~Demuxer() {
        if (haveFrame_) {
            WebPDemuxReleaseIterator(&frame_);
        }
        WebPDemuxDelete(demux_);
    }
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;

    bool valid() const { return demux_ != nullptr; }
    int canvasWidth() const { return int(WebPDemuxGetI(demux_, WEBP_FF_CANVAS_WIDTH)); }
    int canvasHeight() const { return int(WebPDemuxGetI(demux_, WEBP_FF_CANVAS_HEIGHT)); }
    bool animated() const {
        return (WebPDemuxGetI(demux_, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;
    }
    // The first frame; null when there is none.
    const WebPIterator* firstFrame() {
        haveFrame_ = WebPDemuxGetFrame(demux_, 1, &frame_) != 0;
        return haveFrame_ ? &frame_ : nullptr;
    }
    // The ICC profile as QtImageDecoder gave it: empty for none, for sRGB, or for one Qt does
    // not understand.
    QByteArray iccProfile() const {
        WebPChunkIterator chunk;
        if (!WebPDemuxGetChunk(demux_, "ICCP", 1, &chunk)) {
            return {};
        }
        const QColorSpace space = QColorSpace::fromIccProfile(QByteArray(
            reinterpret_cast<const char*>(chunk.chunk.bytes), qsizetype(chunk.chunk.size)));
        WebPDemuxReleaseChunkIterator(&chunk);
        return space.isValid() && space != QColorSpace(QColorSpace::SRgb) ? space.iccProfile()
                                                                          : QByteArray();
    }

  private:
    WebPDemuxer* demux_ = nullptr;
    WebPIterator frame_{};
    bool haveFrame_ = false;
};

const char* reasonFor(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY:
        return "no hay memoria suficiente";
    case VP8_STATUS_NOT_ENOUGH_DATA:
        return "el archivo termina antes de tiempo";
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return "el archivo WebP usa una variante que no se puede leer";
    default:
        return "el archivo WebP está dañado";
    }
}

// Decodes the frame's bitstream straight into its place on the canvas.
void decodeFrame(const WebPIterator& frame, QImage& canvas) {
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
        frame.x_offset + frame.width > canvas.width() ||
        frame.y_offset + frame.height > canvas.height()) {
        fail("el archivo WebP está dañado");
    }
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        fail("no se puede leer WebP con esta versión de libwebp");
    }
    config.options.use_threads = 1;       // the filtering on a second thread: it pays on two cores
    config.output.colorspace = MODE_BGRA; // Format_ARGB32's bytes on a little-endian machine
    config.output.is_external_memory = 1;
    const qsizetype stride = canvas.bytesPerLine();
    uchar* first = canvas.bits() + qsizetype(frame.y_offset) * stride + frame.x_offset * 4;
    config.output.u.RGBA.rgba = first;
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size = size_t((frame.height - 1) * stride + frame.width * 4);
    // libwebp writes the rows in order, more slowly than the kernel makes their pages.
    const PagesAhead pages({{first, config.output.u.RGBA.size}});
    const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        fail(reasonFor(status));
    }
}

} // namespace

Decoded WebpDecoder::decode(QFile& file, const DecodeContext& context) const {
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "MODE_BGRA is Format_ARGB32 when little-endian");
    const QByteArray bytes = file.readAll();
    Demuxer demuxer(bytes);
    if (!demuxer.valid()) {
        fail(bytes.size() < 30 ? "el archivo termina antes de tiempo"
                               : "el archivo WebP está dañado");
    }
    context.checkSize(demuxer.canvasWidth(), demuxer.canvasHeight());
    const WebPIterator* frame = demuxer.firstFrame();
    if (frame == nullptr) {
        fail("el archivo WebP no tiene ninguna imagen");
    }
    const bool alpha = demuxer.animated() || frame->has_alpha;
    Decoded decoded;
    decoded.image = context.newImage(demuxer.canvasWidth(), demuxer.canvasHeight(),
                                     alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (decoded.image.isNull()) {
        fail("no hay memoria suficiente");
    }
    if (frame->width != decoded.image.width() || frame->height != decoded.image.height()) {
        decoded.image.fill(0); // the canvas around a smaller first frame is transparent
    }
    decodeFrame(*frame, decoded.image);
    decoded.orientation = orientationInContainer(bytes, "webp");
    decoded.iccProfile = demuxer.iccProfile();
    return decoded;
}

} // namespace platform::decoders
