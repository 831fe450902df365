// SPDX-License-Identifier: MIT
#include "ApngFrames.h"

#include "PngChunks.h"
#include "PngImageData.h"

#include <QFile>
#include <QRect>
#include <cstring>

namespace platform::decoders::png {

namespace {

[[noreturn]] void fail(const char* reason) {
    throw DecodeFailure(QString::fromUtf8(reason));
}

QRect areaOf(const FrameControl& control) {
    return {control.x, control.y, control.width, control.height};
}

// A pixel put over another, neither premultiplied.
QRgb over(QRgb source, QRgb below) {
    const int alpha = qAlpha(source);
    if (alpha == 255 || qAlpha(below) == 0) {
        return source;
    }
    if (alpha == 0) {
        return below;
    }
    const int belowWeight = qAlpha(below) * (255 - alpha); // in 255ths of 255ths
    const int total = alpha * 255 + belowWeight;
    const auto mix = [&](int s, int b) { return (s * alpha * 255 + b * belowWeight) / total; };
    return qRgba(mix(qRed(source), qRed(below)), mix(qGreen(source), qGreen(below)),
                 mix(qBlue(source), qBlue(below)), (total + 127) / 255);
}

class ApngFrames : public FrameReader {
  public:
    ApngFrames(ChunkWalker walker, PngFile png, const DecodeContext& context)
        : walker_(std::move(walker)), png_(std::move(png)), context_(context) {
        info_.width = png_.header.width;
        info_.height = png_.header.height;
        info_.plays = int(std::min<quint32>(png_.animation->plays, 1 << 30));
        info_.frameCount = int(std::min<quint32>(png_.animation->frames, 1 << 30));
        info_.iccProfile = png_.iccProfile;
        if (png_.codePoints) {
            info_.codePoints = *png_.codePoints; // over any profile, as PNG's rules say
            info_.iccProfile.clear();
        }
        pending_ = png_.firstFrame; // before the image data: the default image is a frame
        canvas_ = QImage(info_.width, info_.height, QImage::Format_ARGB32);
        if (canvas_.isNull()) {
            throw std::bad_alloc();
        }
        canvas_.fill(0);
    }

    const AnimationInfo& info() const override { return info_; }

    std::optional<AnimationFrame> next() override {
        if (read_ == info_.frameCount) {
            return std::nullopt;
        }
        const std::optional<FrameControl> control = nextFrameData();
        if (!control) {
            return std::nullopt;
        }
        const QRect area = areaOf(*control);
        if (!canvas_.rect().contains(area)) {
            fail("el archivo PNG está dañado (un cuadro sale del lienzo)");
        }
        disposeOfLast();
        if (control->dispose == FrameControl::Previous && read_ > 0) {
            previous_ = canvas_.copy();
            if (previous_.isNull()) {
                throw std::bad_alloc();
            }
        }
        AnimationFrame frame;
        frame.canvas = context_.newImage(info_.width, info_.height, QImage::Format_ARGB32);
        if (frame.canvas.isNull()) {
            throw std::bad_alloc();
        }
        // The frame is decoded into the output's memory, put on the canvas, and the canvas then
        // copied over it: no buffer of its own.
        draw(decoded(*control, frame.canvas), *control);
        std::memcpy(frame.canvas.bits(), canvas_.constBits(), size_t(canvas_.sizeInBytes()));
        frame.delayMs = frameDelayMs(control->delayMs);
        last_ = *control;
        // Previous on the first frame is taken as Background.
        if (read_ == 0 && last_.dispose == FrameControl::Previous) {
            last_.dispose = FrameControl::Background;
        }
        ++read_;
        return frame;
    }

  private:
    // Reads the chunks up to the next frame's control and all of its data, into data_; null at
    // the end of the file (IEND).
    std::optional<FrameControl> nextFrameData() {
        std::optional<FrameControl> control = std::exchange(pending_, std::nullopt);
        data_.clear();
        QByteArray type;
        for (;;) {
            if (!walker_.readChunk(type, payload_)) {
                if (control && !data_.isEmpty()) {
                    return control; // cut short: its data says how much of it is there
                }
                fail("el archivo termina antes de tiempo");
            }
            if (!walker_.intact()) {
                fail("el archivo está dañado (la suma de control de un bloque no coincide)");
            }
            if (type == "IEND") {
                return data_.isEmpty() ? std::nullopt : control;
            }
            if (type == "fcTL") {
                std::optional<FrameControl> read = frameControl(payload_);
                if (!read) {
                    fail("el archivo PNG está dañado (un cuadro mal descrito)");
                }
                if (control && !data_.isEmpty()) {
                    pending_ = read;
                    return control;
                }
                control = read;
            } else if (control && type == "IDAT") {
                data_ += payload_;
            } else if (control && type == "fdAT" && payload_.size() > 4) {
                data_.append(payload_.constData() + 4, payload_.size() - 4); // after its number
            }
        }
    }

    // The frame's pixels, decoded into the start of `room` (the size of the canvas at least).
    QImage decoded(const FrameControl& control, QImage& room) {
        PngFile frame = png_;
        frame.header.width = control.width;
        frame.header.height = control.height;
        frame.data = reinterpret_cast<const uchar*>(data_.constData());
        frame.dataSize = data_.size();
        QImage pixels(room.bits(), control.width, control.height, qsizetype(control.width) * 4,
                      QImage::Format_ARGB32);
        return decodeImageDataInto(frame, std::move(pixels));
    }

    void draw(const QImage& pixels, const FrameControl& control) {
        for (int y = 0; y < control.height; ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
            auto* to = reinterpret_cast<QRgb*>(canvas_.scanLine(control.y + y)) + control.x;
            if (control.blend == FrameControl::Source) {
                std::memcpy(to, from, size_t(control.width) * 4);
                continue;
            }
            for (int x = 0; x < control.width; ++x) {
                to[x] = over(from[x], to[x]);
            }
        }
    }

    // What the frame shown last leaves: None keeps the canvas, Background clears its rectangle
    // to transparent black, Previous puts back the canvas as it was before it.
    void disposeOfLast() {
        if (last_.dispose == FrameControl::Background) {
            const QRect area = areaOf(last_);
            for (int y = area.top(); y <= area.bottom(); ++y) {
                std::fill_n(reinterpret_cast<QRgb*>(canvas_.scanLine(y)) + area.left(),
                            area.width(), QRgb(0));
            }
        } else if (last_.dispose == FrameControl::Previous && !previous_.isNull()) {
            std::swap(canvas_, previous_);
        }
        previous_ = QImage();
        last_.dispose = FrameControl::None;
    }

    ChunkWalker walker_;
    PngFile png_; // the header, palette and transparency every frame shares
    DecodeContext context_;
    AnimationInfo info_;
    std::optional<FrameControl> pending_; // read ahead: the control of the frame to come
    QByteArray data_;                     // the frame's image data
    QByteArray payload_;
    QImage canvas_;
    QImage previous_; // the canvas before the last frame, where that frame is to be undone
    FrameControl last_;
    int read_ = 0;
};

} // namespace

std::unique_ptr<FrameReader> openApngFrames(QFile& file, const DecodeContext& context) {
    ChunkWalker walker(file);
    PngFile png = walker.readUpToData();
    if (!png.animation || png.animation->frames < 2) {
        return nullptr;
    }
    context.checkSize(png.header.width, png.header.height);
    return std::make_unique<ApngFrames>(std::move(walker), std::move(png), context);
}

} // namespace platform::decoders::png
