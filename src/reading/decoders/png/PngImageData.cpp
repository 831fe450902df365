// SPDX-License-Identifier: MIT
#include "PngImageData.h"

#include "PngRows.h"
#include "reading/decoders/RowCounter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <future>
#include <libdeflate.h>
#include <memory>
#include <vector>
#include <zlib.h>

namespace platform::decoders::png {

namespace {

[[noreturn]] void fail(const char* reason) {
    throw DecodeFailure(QString::fromUtf8(reason));
}

[[noreturn]] void outOfMemory() {
    fail("no hay memoria suficiente");
}

QImage::Format formatOf(const RowConverter& converter) {
    return converter.hasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

// A picture over a buffer of `bytes` (at least its pixels) that it frees when it goes. One of
// exactly the picture's size is made where the context says (the reader process's shared
// memory); a larger one, for filtered rows a little longer than the finished ones, is ordinary
// memory, and the finished picture is then copied once.
QImage pictureOver(const Header& header, QImage::Format format, qsizetype bytes,
                   const DecodeContext& context) {
    if (bytes == qsizetype(header.height) * header.width * 4) {
        QImage image = context.newImage(int(header.width), int(header.height), format);
        if (image.isNull()) {
            outOfMemory();
        }
        return image;
    }
    auto* buffer = static_cast<uchar*>(std::malloc(size_t(bytes)));
    if (buffer == nullptr) {
        outOfMemory();
    }
    QImage image(buffer, header.width, header.height, qsizetype(header.width) * 4, format,
                 std::free, buffer);
    if (image.isNull()) {
        std::free(buffer);
        outOfMemory();
    }
    return image;
}

// ---- The fast way: everything inflated at once, the rows finished on two threads in step.

// Rows at least this many bytes of filtered data in all are finished on two threads.
constexpr qint64 twoThreadBytes = 2 << 20;
// Unfiltered rows in flight between the two threads.
constexpr int ringRows = 16;

// Each row is undone and turned into pixels in two parts, its left half on this thread and its
// right half on another, one row behind: the right part goes on from the left part's last pixel,
// and each part takes only from the parts above it. The filtered rows lie at the end of the
// picture's buffer, and a finished row ends where the filtered row after it begins, or before:
// it is written only once every filtered row up to its own has been copied into the ring.
class RowPipeline {
  public:
    RowPipeline(const Header& header, const RowConverter& converter, const uchar* filtered,
                QImage& image)
        : header_(header), converter_(converter), filtered_(filtered), bits_(image.bits()),
          rowBytes_(header.rowBytes(header.width)),
          splitPixel_(header.width / 2 / 8 * 8), // a whole byte of the smallest samples
          splitByte_(header.rowBytes(splitPixel_)), ring_(size_t(rowBytes_) * (ringRows + 1), 0) {}

    void run() {
        for (int y = 0; y < header_.height; ++y) { // checked before any thread starts
            if (filterOf(y) > 4) {
                throw DecodeFailure(QStringLiteral("los datos de imagen están dañados (filtro %1)")
                                        .arg(filterOf(y)));
            }
        }
        if (qint64(header_.height) * (rowBytes_ + 1) < twoThreadBytes || splitPixel_ < 8) {
            for (int y = 0; y < header_.height; ++y) {
                undo(y, 0, rowBytes_);
                convert(y, 0, header_.width);
            }
            return;
        }
        std::future<void> right = std::async(std::launch::async, [this] {
            for (int y = 0; y < header_.height; ++y) {
                leftDone_.waitUntil(y + 1);
                undo(y, splitByte_, rowBytes_);
                rightDone_.raise(y + 1);
                convert(y, splitPixel_, header_.width);
            }
        });
        // The left halves are finished some rows behind, so that this thread seldom waits for
        // the other (on a virtual machine, waking a waiting thread costs more than a row).
        constexpr int behind = ringRows / 2;
        for (int y = 0; y < header_.height; ++y) {
            // The slot's row before is done with: the right part took its last left pixel.
            rightDone_.waitUntil(y + 2 - ringRows);
            undo(y, 0, splitByte_);
            leftDone_.raise(y + 1);
            if (y >= behind) {
                finishLeft(y - behind);
            }
        }
        for (int y = std::max(0, header_.height - behind); y < header_.height; ++y) {
            finishLeft(y);
        }
        right.get();
    }

  private:
    int filterOf(int y) const { return filtered_[qsizetype(y) * (rowBytes_ + 1)]; }
    uchar* slot(int y) { return ring_.data() + size_t(y % ringRows) * size_t(rowBytes_); }
    const uchar* zeros() const { return ring_.data() + size_t(ringRows) * size_t(rowBytes_); }

    // Copies bytes [from, to) of filtered row y into its slot and undoes their filter.
    void undo(int y, qsizetype from, qsizetype to) {
        const uchar* source = filtered_ + qsizetype(y) * (rowBytes_ + 1) + 1;
        uchar* row = slot(y);
        std::memcpy(row + from, source + from, size_t(to - from));
        unfilterRow(filterOf(y), row + from, (y == 0 ? zeros() : slot(y - 1)) + from, to - from,
                    header_.filterStep(), from > 0);
    }

    void finishLeft(int y) {
        rightDone_.waitUntil(y + 1); // the row copied whole
        convert(y, 0, splitPixel_);
    }

    void convert(int y, int first, int end) {
        converter_.convert(slot(y) + header_.rowBytes(first),
                           reinterpret_cast<quint32*>(bits_ + qsizetype(y) * 4 * header_.width) +
                               first,
                           end - first);
    }

    const Header& header_;
    const RowConverter& converter_;
    const uchar* filtered_;
    uchar* bits_;
    qsizetype rowBytes_;
    int splitPixel_;
    qsizetype splitByte_;
    std::vector<uchar> ring_; // ringRows rows, then a row of zeros
    RowCounter leftDone_;     // rows whose left part is undone
    RowCounter rightDone_;    // rows whose right part is undone
};

struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
};

// ---- The row-at-a-time way, with zlib.

class ZlibRows {
  public:
    explicit ZlibRows(const PngFile& file) : left_(file.dataSize) {
        if (inflateInit(&z_) != Z_OK) {
            outOfMemory();
        }
        z_.next_in = const_cast<uchar*>(file.data);
        feed();
    }
    ~ZlibRows() { inflateEnd(&z_); }
    ZlibRows(const ZlibRows&) = delete;
    ZlibRows& operator=(const ZlibRows&) = delete;

    void read(uchar* out, qsizetype bytes) {
        z_.next_out = out;
        z_.avail_out = uInt(bytes);
        while (z_.avail_out > 0) {
            const int status = inflate(&z_, Z_SYNC_FLUSH);
            if (z_.avail_out == 0) {
                break;
            }
            if (status == Z_STREAM_END || (status == Z_BUF_ERROR && left_ == 0)) {
                fail("los datos de imagen terminan antes de tiempo");
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                fail("los datos de imagen están dañados");
            }
            if (z_.avail_in == 0) {
                feed();
            }
        }
    }

  private:
    void feed() {
        const qsizetype part = std::min<qsizetype>(left_, 1 << 30);
        z_.avail_in = uInt(part);
        left_ -= part;
    }

    z_stream z_{};
    qsizetype left_;
};

void readPass(ZlibRows& rows, const PngFile& file, const RowConverter& converter, const Pass& pass,
              QImage& image) {
    const Header& header = file.header;
    const int columns = pass.columns(header.width);
    const int count = pass.rows(header.height);
    if (columns <= 0 || count <= 0) {
        return;
    }
    const qsizetype bytes = header.rowBytes(columns);
    std::vector<uchar> current(size_t(bytes) + 1), prior(size_t(bytes) + 1, 0);
    std::vector<quint32> pixels(pass.dx == 1 ? 0 : size_t(columns));
    for (int r = 0; r < count; ++r) {
        rows.read(current.data(), bytes + 1);
        unfilterRow(current[0], current.data() + 1, prior.data() + 1, bytes, header.filterStep());
        auto* out = reinterpret_cast<quint32*>(image.scanLine(pass.y0 + r * pass.dy));
        if (pass.dx == 1) {
            converter.convert(current.data() + 1, out, columns);
        } else {
            converter.convert(current.data() + 1, pixels.data(), columns);
            for (int c = 0; c < columns; ++c) {
                out[pass.x0 + c * pass.dx] = pixels[size_t(c)];
            }
        }
        current.swap(prior);
    }
}

QImage readWithZlib(const PngFile& file, const RowConverter& converter, QImage image) {
    ZlibRows rows(file);
    if (!file.header.interlaced) {
        readPass(rows, file, converter, Pass{0, 0, 1, 1}, image);
        return image;
    }
    for (const Pass& pass : adam7) {
        readPass(rows, file, converter, pass, image);
    }
    return image;
}

} // namespace

Canvas makeCanvas(const PngFile& file, const DecodeContext& context) {
    const Header& header = file.header;
    const QImage::Format format = formatOf(RowConverter(file));
    const qsizetype finished = qsizetype(header.height) * header.width * 4;
    const qsizetype filtered = qsizetype(header.height) * (header.rowBytes(header.width) + 1);
    Canvas canvas;
    if (header.interlaced || filtered > finished + header.height) {
        canvas.image = pictureOver(header, format, finished, context);
        return canvas;
    }
    const qsizetype total = std::max(finished, filtered);
    canvas.image = pictureOver(header, format, total, context);
    canvas.filteredAt = total - filtered;
    canvas.room = canvas.image.bits();
    canvas.roomSize = canvas.filteredAt;
    return canvas;
}

PagesAhead pagesAhead(const Canvas& canvas, qint64 dataBytes) {
    const auto total = std::size_t(canvas.image.sizeInBytes());
    auto* bits = const_cast<uchar*>(canvas.image.constBits());
    if (canvas.filteredAt < 0) {
        return PagesAhead({{bits, total}});
    }
    const auto room = std::size_t(std::clamp<qint64>(dataBytes, 0, canvas.roomSize));
    const auto rows = std::size_t(canvas.filteredAt);
    return PagesAhead({{bits, room}, {bits + rows, total - rows}});
}

QImage decodeImageData(const PngFile& file, Canvas canvas) {
    const Header& header = file.header;
    const RowConverter converter(file);
    if (canvas.filteredAt < 0) {
        return readWithZlib(file, converter, std::move(canvas.image));
    }
    uchar* filtered = canvas.image.bits() + canvas.filteredAt;
    const size_t filteredSize = size_t(header.height) * size_t(header.rowBytes(header.width) + 1);
    const Decompressor inflater;
    if (inflater.d == nullptr) {
        outOfMemory();
    }
    // The compressed data may sit just before the filtered rows: the two never overlap.
    const libdeflate_result result = libdeflate_zlib_decompress(
        inflater.d, file.data, size_t(file.dataSize), filtered, filteredSize, nullptr);
    if (result != LIBDEFLATE_SUCCESS) {
        // Too little or too much data, or a damaged stream: zlib says which, and shows what a
        // stream with data after the picture's holds. Its rows would be written over compressed
        // data in the room not read yet, so that data is moved out first.
        if (file.data == canvas.image.constBits()) {
            QByteArray moved(reinterpret_cast<const char*>(file.data), file.dataSize);
            PngFile apart = file;
            apart.data = reinterpret_cast<const uchar*>(moved.constData());
            return readWithZlib(apart, converter, std::move(canvas.image));
        }
        return readWithZlib(file, converter, std::move(canvas.image));
    }
    RowPipeline(header, converter, filtered, canvas.image).run();
    return std::move(canvas.image);
}

QImage decodeImageDataWithZlib(const PngFile& file) {
    const RowConverter converter(file);
    return readWithZlib(file, converter,
                        pictureOver(file.header, formatOf(converter),
                                    qsizetype(file.header.height) * file.header.width * 4,
                                    DecodeContext{qint64(1) << 40}));
}

QImage decodeImageDataInto(const PngFile& file, QImage image) {
    return readWithZlib(file, RowConverter(file), std::move(image));
}

} // namespace platform::decoders::png
