// SPDX-License-Identifier: MIT
#include "WebpDecoder.h"

#include "reading/decoders/ContainerMetadata.h"
#include "reading/decoders/FrameReader.h"
#include "reading/decoders/FreshPages.h"

#include <QColorSpace>
#include <QFile>
#include <QtEndian>
#include <cstring>
#include <webp/decode.h>
#include <webp/demux.h>

namespace platform::decoders {

namespace {
// A still picture's reader, measured (kelmo_bench --reader-margin): a lossless WebP with alpha,
// 2.55 pictures.
constexpr double stillWorkingPictures = 3.25;

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
    int frameCount() const { return int(WebPDemuxGetI(demux_, WEBP_FF_FRAME_COUNT)); }
    int loopCount() const { return int(WebPDemuxGetI(demux_, WEBP_FF_LOOP_COUNT)); }
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

// A file cut short within its frames, as a whole file up to the end of its last whole frame, so
// that the frames before the cut play; empty where there is no such frame, or nothing was cut.
QByteArray wholeFramesOf(const QByteArray& bytes) {
    const WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    WebPDemuxer* demux = WebPDemuxPartial(&data, &state);
    qsizetype end = 0;
    if (demux != nullptr && state == WEBP_DEMUX_PARSED_HEADER) {
        WebPIterator frame;
        if (WebPDemuxGetFrame(demux, 1, &frame)) {
            do {
                if (frame.complete) {
                    end = qsizetype(frame.fragment.bytes + frame.fragment.size - data.bytes);
                }
            } while (frame.complete && WebPDemuxNextFrame(&frame));
            WebPDemuxReleaseIterator(&frame);
        }
    }
    WebPDemuxDelete(demux);
    if (end <= 12) {
        return {};
    }
    QByteArray whole = bytes.left(end + (end & 1)); // chunks are padded to an even size
    whole.resize(end + (end & 1), '\0');
    qToLittleEndian(quint32(whole.size() - 8), whole.data() + 4); // the RIFF chunk's size
    return whole;
}

// The canvases as libwebp's animation decoder composes them: each frame's blend and dispose
// bits, the canvas transparent at the start.
class WebpFrames : public FrameReader {
  public:
    WebpFrames(QByteArray bytes, bool cut, const DecodeContext& context, AnimationInfo info)
        : bytes_(std::move(bytes)), cut_(cut), context_(context), info_(std::move(info)) {
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options)) {
            fail("no se puede leer WebP con esta versión de libwebp");
        }
        options.color_mode = MODE_BGRA; // Format_ARGB32's bytes on a little-endian machine
        options.use_threads = 1;
        const WebPData data{reinterpret_cast<const uint8_t*>(bytes_.constData()),
                            size_t(bytes_.size())};
        decoder_ = WebPAnimDecoderNew(&data, &options);
        if (decoder_ == nullptr) {
            fail("el archivo WebP está dañado");
        }
    }
    ~WebpFrames() override { WebPAnimDecoderDelete(decoder_); }
    WebpFrames(const WebpFrames&) = delete;
    WebpFrames& operator=(const WebpFrames&) = delete;

    const AnimationInfo& info() const override { return info_; }

    std::optional<AnimationFrame> next() override {
        if (!WebPAnimDecoderHasMoreFrames(decoder_)) {
            if (cut_) {
                fail("el archivo termina antes de tiempo");
            }
            return std::nullopt;
        }
        uint8_t* canvas = nullptr;
        int timestamp = 0; // when the frame ends, in milliseconds from the start
        if (!WebPAnimDecoderGetNext(decoder_, &canvas, &timestamp)) {
            fail("el archivo WebP está dañado");
        }
        AnimationFrame frame;
        frame.canvas = context_.newImage(info_.width, info_.height, QImage::Format_ARGB32);
        if (frame.canvas.isNull()) {
            throw std::bad_alloc();
        }
        const size_t row = size_t(info_.width) * 4;
        for (int y = 0; y < info_.height; ++y) {
            std::memcpy(frame.canvas.scanLine(y), canvas + row * size_t(y), row);
        }
        frame.delayMs = frameDelayMs(timestamp - shownUntil_);
        shownUntil_ = timestamp;
        return frame;
    }

  private:
    QByteArray bytes_; // read by the decoder as long as it lives
    bool cut_;         // the file went on after its last whole frame
    DecodeContext context_;
    AnimationInfo info_;
    WebPAnimDecoder* decoder_ = nullptr;
    int shownUntil_ = 0;
};

} // namespace

std::unique_ptr<FrameReader> WebpDecoder::openFrames(QFile& file,
                                                     const DecodeContext& context) const {
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "MODE_BGRA is Format_ARGB32 when little-endian");
    QByteArray bytes = file.readAll();
    bool cut = false;
    {
        const Demuxer whole(bytes);
        if (!whole.valid()) {
            bytes = wholeFramesOf(bytes);
            cut = true;
        }
    }
    const Demuxer demuxer(bytes);
    if (!demuxer.valid()) {
        fail("el archivo WebP está dañado");
    }
    if (!demuxer.animated() || demuxer.frameCount() < 2) {
        return nullptr;
    }
    AnimationInfo info;
    info.width = demuxer.canvasWidth();
    info.height = demuxer.canvasHeight();
    // libwebp's decoder makes two canvases of its own: the size is checked before it does.
    context.checkSize(info.width, info.height, frameReaderWorkingPictures);
    info.plays = demuxer.loopCount();
    info.frameCount = demuxer.frameCount();
    info.iccProfile = demuxer.iccProfile();
    return std::make_unique<WebpFrames>(std::move(bytes), cut, context, std::move(info));
}

Decoded WebpDecoder::decode(QFile& file, const DecodeContext& context) const {
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "MODE_BGRA is Format_ARGB32 when little-endian");
    const QByteArray bytes = file.readAll();
    Demuxer demuxer(bytes);
    if (!demuxer.valid()) {
        fail(bytes.size() < 30 ? "el archivo termina antes de tiempo"
                               : "el archivo WebP está dañado");
    }
    context.checkSize(demuxer.canvasWidth(), demuxer.canvasHeight(), stillWorkingPictures);
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
