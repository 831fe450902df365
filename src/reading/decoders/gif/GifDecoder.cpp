// SPDX-License-Identifier: MIT
#include "GifDecoder.h"

#include "reading/decoders/FrameReader.h"

#include <QFile>
#include <QRect>
#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace platform::decoders {

namespace {
// A still picture's reader, measured (kelmo_bench --reader-margin): 1.98 pictures.
constexpr double stillWorkingPictures = 2.5;

[[noreturn]] void failWith(int error) {
    switch (error) {
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
        throw DecodeFailure(QStringLiteral("el archivo termina antes de tiempo"));
    case D_GIF_ERR_NOT_ENOUGH_MEM:
        throw std::bad_alloc();
    default:
        throw DecodeFailure(QStringLiteral("el archivo GIF está dañado"));
    }
}

int readFromFile(GifFileType* gif, GifByteType* bytes, int count) {
    const qint64 read =
        static_cast<QFile*>(gif->UserData)->read(reinterpret_cast<char*>(bytes), count);
    return read < 0 ? 0 : int(read);
}

// What the records before an image say of it, and its place on the logical screen.
struct FrameHead {
    QRect rect; // in the logical screen's pixels, as declared (not clipped)
    int disposal = DISPOSAL_UNSPECIFIED;
    int transparent = NO_TRANSPARENT_COLOR;
    int delayMs = 0; // as declared
    bool interlaced = false;
};

// giflib's decoder over the open file, going through its records in order.
class GifRecords {
  public:
    explicit GifRecords(QFile& file) {
        int error = 0;
        gif_ = DGifOpen(&file, readFromFile, &error);
        if (gif_ == nullptr) {
            failWith(error);
        }
    }
    ~GifRecords() { DGifCloseFile(gif_, nullptr); }
    GifRecords(const GifRecords&) = delete;
    GifRecords& operator=(const GifRecords&) = delete;

    QSize screen() const { return {gif_->SWidth, gif_->SHeight}; }
    // The looping block's count as the file says it, or -1 where there has been none so far.
    int loops() const { return loops_; }

    // Reads up to the next image's descriptor; nothing at the file's end.
    std::optional<FrameHead> nextImage() {
        FrameHead head;
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            check(DGifGetRecordType(gif_, &type));
            if (type == TERMINATE_RECORD_TYPE) {
                return std::nullopt;
            }
            if (type == EXTENSION_RECORD_TYPE) {
                readExtension(head);
                continue;
            }
            check(DGifGetImageDesc(gif_));
            forgetSavedImages();
            const GifImageDesc& image = gif_->Image;
            head.rect = QRect(image.Left, image.Top, image.Width, image.Height);
            head.interlaced = image.Interlace;
            return head;
        }
    }
    // The palette of the image just described: its own, else the file's; null for none.
    const ColorMapObject* palette() const {
        return gif_->Image.ColorMap != nullptr ? gif_->Image.ColorMap : gif_->SColorMap;
    }
    // The image's next row of colour indices, as stored (an interlaced image's rows come in
    // their passes' order).
    void readRow(std::vector<GifPixelType>& row) {
        check(DGifGetLine(gif_, row.data(), int(row.size())));
    }
    // Passes over the image's pixels without decoding them.
    void skipImage() {
        int codeSize = 0;
        GifByteType* block = nullptr;
        check(DGifGetCode(gif_, &codeSize, &block));
        while (block != nullptr) {
            check(DGifGetCodeNext(gif_, &block));
        }
    }

  private:
    void check(int result) const {
        if (result == GIF_ERROR) {
            failWith(gif_->Error);
        }
    }
    void readExtension(FrameHead& head) {
        int code = 0;
        GifByteType* block = nullptr;
        check(DGifGetExtension(gif_, &code, &block));
        if (block != nullptr && code == GRAPHICS_EXT_FUNC_CODE) {
            GraphicsControlBlock control;
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                head.disposal = control.DisposalMode;
                head.transparent = control.TransparentColor;
                head.delayMs = control.DelayTime * 10;
            }
        }
        const bool looping = block != nullptr && code == APPLICATION_EXT_FUNC_CODE &&
                             block[0] == 11 &&
                             (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                              std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0);
        while (block != nullptr) {
            check(DGifGetExtensionNext(gif_, &block));
            if (looping && block != nullptr && block[0] >= 3 && block[1] == 1) {
                loops_ = block[2] | block[3] << 8;
            }
        }
    }
    // giflib keeps a record of every image described; only the one being read matters here, and
    // a long animation must not grow the process.
    void forgetSavedImages() {
        GifFreeSavedImages(gif_);
        gif_->SavedImages = nullptr;
        gif_->ImageCount = 0;
    }

    GifFileType* gif_ = nullptr;
    int loops_ = -1;
};

// How many times the animation plays: once without a looping block, for ever for a count of 0,
// else the count and once more.
int playsFor(int loops) {
    return loops < 0 ? 1 : loops == 0 ? 0 : loops + 1;
}

// The row of the image that the n-th row read is, for an interlaced image.
int interlacedRow(int n, int height) {
    static constexpr int starts[] = {0, 4, 2, 1};
    static constexpr int steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows = (height - starts[pass] + steps[pass] - 1) / steps[pass];
        if (n < rows) {
            return starts[pass] + n * steps[pass];
        }
        n -= std::max(rows, 0);
    }
    return height - 1;
}

class GifFrames : public FrameReader {
  public:
    GifFrames(QFile& file, const DecodeContext& context, QSize canvas, int loops)
        : records_(file), context_(context) {
        info_.width = canvas.width();
        info_.height = canvas.height();
        info_.plays = playsFor(loops);
        canvas_ = QImage(canvas, QImage::Format_ARGB32);
        if (canvas_.isNull()) {
            throw std::bad_alloc();
        }
        canvas_.fill(0);
    }

    const AnimationInfo& info() const override { return info_; }

    std::optional<AnimationFrame> next() override {
        const std::optional<FrameHead> head = records_.nextImage();
        if (!head) {
            return std::nullopt;
        }
        disposeOfLast();
        if (head->disposal == DISPOSE_PREVIOUS || head->disposal == 4) {
            previous_ = canvas_.copy();
            if (previous_.isNull()) {
                throw std::bad_alloc();
            }
        }
        draw(*head);
        last_ = *head;
        if (records_.loops() >= 0) { // a looping block after the first frames counts too
            info_.plays = playsFor(records_.loops());
        }
        AnimationFrame frame;
        frame.canvas = context_.newImage(canvas_.width(), canvas_.height(), QImage::Format_ARGB32);
        if (frame.canvas.isNull()) {
            throw std::bad_alloc();
        }
        std::memcpy(frame.canvas.bits(), canvas_.constBits(), size_t(canvas_.sizeInBytes()));
        frame.delayMs = frameDelayMs(head->delayMs);
        return frame;
    }

  private:
    // What the frame shown last leaves behind it: disposal 2 clears its rectangle to
    // transparent (the background colour is not used), 3 and 4 put back the canvas as it was
    // before it; 0 and 1 keep it.
    void disposeOfLast() {
        const QRect area = last_.rect & canvas_.rect();
        if (last_.disposal == DISPOSE_BACKGROUND && !area.isEmpty()) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                std::fill_n(reinterpret_cast<QRgb*>(canvas_.scanLine(y)) + area.left(),
                            area.width(), QRgb(0));
            }
        } else if ((last_.disposal == DISPOSE_PREVIOUS || last_.disposal == 4) &&
                   !previous_.isNull()) {
            std::swap(canvas_, previous_);
        }
        previous_ = QImage();
    }

    // Puts the image's opaque pixels on the canvas; those outside it are read and dropped.
    void draw(const FrameHead& head) {
        const ColorMapObject* palette = records_.palette();
        if (palette == nullptr) {
            throw DecodeFailure(QStringLiteral("el archivo GIF está dañado"));
        }
        std::vector<GifPixelType> row(size_t(head.rect.width()));
        const QRect area = head.rect & canvas_.rect();
        for (int n = 0; n < head.rect.height(); ++n) {
            records_.readRow(row);
            const int y =
                head.rect.top() + (head.interlaced ? interlacedRow(n, head.rect.height()) : n);
            if (y < area.top() || y > area.bottom()) {
                continue;
            }
            QRgb* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
            for (int x = area.left(); x <= area.right(); ++x) {
                const int index = row[size_t(x - head.rect.left())];
                if (index != head.transparent && index < palette->ColorCount) {
                    const GifColorType& colour = palette->Colors[index];
                    line[x] = qRgb(colour.Red, colour.Green, colour.Blue);
                }
            }
        }
    }

    GifRecords records_;
    DecodeContext context_;
    AnimationInfo info_;
    QImage canvas_;   // the frames composed so far
    QImage previous_; // the canvas before the last frame, where that frame is to be undone
    FrameHead last_;
};

// The canvas and the looping count as far as the second image, or nothing where there is no
// second image: the canvas is the logical screen, grown to a first image larger than it.
struct Survey {
    QSize canvas;
    int loops = -1;
    bool animated = false;
};

Survey survey(QFile& file) {
    GifRecords records(file);
    Survey found;
    const std::optional<FrameHead> first = records.nextImage();
    if (!first) {
        throw DecodeFailure(QStringLiteral("el archivo GIF no tiene ninguna imagen"));
    }
    found.canvas =
        records.screen().expandedTo(QSize(first->rect.right() + 1, first->rect.bottom() + 1));
    try {
        records.skipImage();
        found.animated = records.nextImage().has_value();
    } catch (const DecodeFailure&) {
        return found; // damaged after its first image: that image alone is the picture
    }
    found.loops = records.loops();
    return found;
}

} // namespace

std::unique_ptr<FrameReader> GifDecoder::openFrames(QFile& file,
                                                    const DecodeContext& context) const {
    const qint64 start = file.pos();
    const Survey found = survey(file);
    if (!found.animated) {
        return nullptr; // one image: a still picture
    }
    context.checkSize(found.canvas.width(), found.canvas.height(), frameReaderWorkingPictures);
    if (!file.seek(start)) {
        throw DecodeFailure(file.errorString());
    }
    return std::make_unique<GifFrames>(file, context, found.canvas, found.loops);
}

Decoded GifDecoder::decode(QFile& file, const DecodeContext& context) const {
    const qint64 start = file.pos();
    const Survey found = survey(file);
    context.checkSize(found.canvas.width(), found.canvas.height(), stillWorkingPictures);
    if (!file.seek(start)) {
        throw DecodeFailure(file.errorString());
    }
    GifFrames frames(file, context, found.canvas, found.loops);
    Decoded decoded;
    decoded.image = frames.next().value().canvas;
    return decoded;
}

} // namespace platform::decoders
