// SPDX-License-Identifier: MIT
#include "BmpDecoder.h"

#include "FileAtOffset.h"
#include "FreshPages.h"

#include "QtImageDecoder.h"

#include <QFile>

#include <QFileDevice>
#include <QIODevice>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <future>
#include <vector>

namespace platform::bmp {

namespace {

constexpr int fileHeaderSize = 14;
constexpr qint64 chunkBytes = 256 * 1024;
// Pictures from this size of ready-to-draw pixels on are read by two threads.
constexpr qint64 halvedBytes = 8 * 1024 * 1024;
// Measured (kelmo_bench --reader-margin): 0.98 pictures.
constexpr double workingPictures = 1.5;

enum Compression : quint32 { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

quint16 u16(const uchar* p) {
    return quint16(p[0] | (p[1] << 8));
}
quint32 u32(const uchar* p) {
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
qint32 i32(const uchar* p) {
    return qint32(u32(p));
}

Result malformed(const char* reason) {
    return Result{Outcome::Malformed, {}, QString::fromUtf8(reason)};
}
Result notHandled() {
    return Result{};
}

// One colour channel of a 16- or 32-bit pixel, from its bit mask.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    static Channel of(quint32 mask) {
        Channel c;
        c.mask = mask;
        c.shift = mask == 0 ? 0 : std::countr_zero(mask);
        c.bits = std::popcount(mask);
        return c;
    }
    bool contiguous() const { return mask == 0 || ((mask >> shift) & ((mask >> shift) + 1)) == 0; }
    // The channel's value widened (or narrowed) to 8 bits: a 5-bit 31 gives 248, as the usual
    // readers give it.
    uint value(quint32 pixel) const {
        const quint32 v = (pixel & mask) >> shift;
        return bits <= 8 ? uint(v << (8 - bits)) : uint(v >> (bits - 8));
    }
};

struct Header {
    qint64 fileSize = 0;
    quint32 pixelOffset = 0;
    quint32 infoSize = 0;
    qint32 width = 0;
    qint32 height = 0;
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = 0;
    quint32 colorsUsed = 0;
    Channel red, green, blue, alpha;
    qint64 stride = 0; // bytes per row in the file, for uncompressed rows
    std::array<QRgb, 256> palette{};
};

// Bit masks: in the header from 52 bytes on, otherwise right after a 40-byte header, where they
// push the colour table back by 12 bytes. The usual masks where the file gives none.
Result readMasks(QIODevice& device, const uchar* info, Header& h, qint64& tableOffset) {
    if (h.compression == BitFields) {
        uchar masks[16] = {};
        if (h.infoSize >= 52) {
            std::memcpy(masks, info + 40, h.infoSize >= 56 ? 16 : 12);
        } else if (device.read(reinterpret_cast<char*>(masks), 12) == 12) {
            tableOffset += 12;
        } else {
            return malformed("el archivo termina antes de las máscaras de color");
        }
        h.red = Channel::of(u32(masks));
        h.green = Channel::of(u32(masks + 4));
        h.blue = Channel::of(u32(masks + 8));
        h.alpha = Channel::of(h.infoSize >= 56 ? u32(masks + 12) : 0);
        const quint32 limit = h.bitCount == 16 ? 0xffffu : 0xffffffffu;
        const quint32 all[] = {h.red.mask, h.green.mask, h.blue.mask, h.alpha.mask};
        quint32 seen = 0;
        for (quint32 mask : all) {
            if ((mask & seen) != 0 || (mask & ~limit) != 0) {
                return malformed("las máscaras de color se solapan o salen del píxel");
            }
            seen |= mask;
        }
        if (h.red.mask == 0 || h.green.mask == 0 || h.blue.mask == 0 || !h.red.contiguous() ||
            !h.green.contiguous() || !h.blue.contiguous() || !h.alpha.contiguous()) {
            return malformed("las máscaras de color no son válidas");
        }
    } else if (h.bitCount == 16) {
        h.red = Channel::of(0x7c00);
        h.green = Channel::of(0x03e0);
        h.blue = Channel::of(0x001f);
    } else if (h.bitCount >= 24) {
        h.red = Channel::of(0x00ff0000);
        h.green = Channel::of(0x0000ff00);
        h.blue = Channel::of(0x000000ff);
    }

    return {};
}

// The colour table of a palette picture follows the headers (and the masks).
Result readPalette(QIODevice& device, Header& h, qint64& tableOffset) {
    const int bits = h.bitCount;
    if (bits <= 8) {
        const quint32 capacity = 1u << bits;
        const quint32 count = h.colorsUsed == 0 ? capacity : h.colorsUsed;
        if (count > capacity) {
            return malformed("la tabla de colores tiene más colores de los posibles");
        }
        if (tableOffset + qint64(count) * 4 > h.fileSize || !device.seek(tableOffset)) {
            return malformed("el archivo termina dentro de la tabla de colores");
        }
        uchar table[256 * 4];
        if (device.read(reinterpret_cast<char*>(table), qint64(count) * 4) != qint64(count) * 4) {
            return malformed("el archivo termina dentro de la tabla de colores");
        }
        // Indexes past the table show black rather than whatever memory holds.
        h.palette.fill(qRgb(0, 0, 0));
        for (quint32 i = 0; i < count; ++i) {
            h.palette[i] = qRgb(table[4 * i + 2], table[4 * i + 1], table[4 * i]);
        }
        tableOffset += qint64(count) * 4;
    }

    return {};
}

// Reads and checks everything before the pixels. Returns an empty reason when the header holds.
Result readHeader(QIODevice& device, qint64 maxBytes, Header& h) {
    h.fileSize = device.size();
    uchar head[fileHeaderSize + 124] = {};
    if (device.peek(reinterpret_cast<char*>(head), 2) != 2 || head[0] != 'B' || head[1] != 'M') {
        return notHandled();
    }
    if (device.read(reinterpret_cast<char*>(head), fileHeaderSize + 4) != fileHeaderSize + 4) {
        return malformed("el archivo termina antes de la cabecera");
    }
    h.pixelOffset = u32(head + 10);
    h.infoSize = u32(head + 14);
    if (h.infoSize != 40 && h.infoSize != 52 && h.infoSize != 56 && h.infoSize != 108 &&
        h.infoSize != 124) {
        return h.infoSize == 12 || h.infoSize == 64
                   ? notHandled()
                   : malformed("la cabecera tiene un tamaño desconocido");
    }
    const qint64 rest = qint64(h.infoSize) - 4;
    if (device.read(reinterpret_cast<char*>(head + 18), rest) != rest) {
        return malformed("el archivo termina dentro de la cabecera");
    }
    const uchar* info = head + fileHeaderSize;
    h.width = i32(info + 4);
    const qint32 rawHeight = i32(info + 8);
    const quint16 planes = u16(info + 12);
    h.bitCount = u16(info + 14);
    h.compression = u32(info + 16);
    h.colorsUsed = u32(info + 32);
    if (planes != 1) {
        return malformed("el número de planos no es 1");
    }
    if (h.width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<qint32>::min()) {
        return malformed("la anchura o la altura no son válidas");
    }
    h.topDown = rawHeight < 0;
    h.height = h.topDown ? -rawHeight : rawHeight;
    if (h.width > (1 << 24) || h.height > (1 << 24) || qint64(h.width) * h.height * 4 > maxBytes) {
        return malformed("la imagen es mayor de lo que cabe en memoria");
    }
    const int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return malformed("la profundidad de color no es válida");
    }
    const bool rle = h.compression == Rle8 || h.compression == Rle4;
    if (h.compression > BitFields) {
        return notHandled(); // JPEG or PNG inside a bitmap, alpha bit fields: left to Qt
    }
    if ((h.compression == Rle8 && bits != 8) || (h.compression == Rle4 && bits != 4) ||
        (h.compression == BitFields && bits != 16 && bits != 32) || (rle && h.topDown)) {
        return malformed("la compresión no corresponde a la profundidad de color");
    }

    qint64 tableOffset = fileHeaderSize + h.infoSize;
    if (Result masks = readMasks(device, info, h, tableOffset); !masks.reason.isEmpty()) {
        return masks;
    }
    if (Result palette = readPalette(device, h, tableOffset); !palette.reason.isEmpty()) {
        return palette;
    }

    h.stride = ((qint64(h.width) * bits + 31) / 32) * 4;
    if (h.pixelOffset < tableOffset || h.pixelOffset >= h.fileSize) {
        return malformed("la posición de los píxeles no es válida");
    }
    if (!rle && h.pixelOffset + h.stride * h.height > h.fileSize) {
        return malformed("el archivo termina antes de los últimos píxeles");
    }
    return Result{Outcome::Decoded, {}, {}};
}

// Converts one row of the file into one row of ready-to-draw pixels.
void convertRow(const Header& h, const uchar* in, QRgb* out) {
    const int w = h.width;
    switch (h.bitCount) {
    case 1:
        for (int x = 0; x < w; ++x) {
            out[x] = h.palette[(in[x >> 3] >> (7 - (x & 7))) & 1];
        }
        break;
    case 4:
        for (int x = 0; x < w; ++x) {
            out[x] = h.palette[(x & 1) ? (in[x >> 1] & 0x0f) : (in[x >> 1] >> 4)];
        }
        break;
    case 8:
        for (int x = 0; x < w; ++x) {
            out[x] = h.palette[in[x]];
        }
        break;
    case 24: {
        // Four pixels from three little-endian words: blue, green, red bytes become 0xffRRGGBB.
        int x = 0;
        for (; x + 4 <= w; x += 4, in += 12) {
            quint32 a;
            quint32 b;
            quint32 c;
            std::memcpy(&a, in, 4);
            std::memcpy(&b, in + 4, 4);
            std::memcpy(&c, in + 8, 4);
            a = qFromLittleEndian(a);
            b = qFromLittleEndian(b);
            c = qFromLittleEndian(c);
            out[x] = 0xff000000u | (a & 0xffffffu);
            out[x + 1] = 0xff000000u | (a >> 24) | ((b & 0xffffu) << 8);
            out[x + 2] = 0xff000000u | (b >> 16) | ((c & 0xffu) << 16);
            out[x + 3] = 0xff000000u | (c >> 8);
        }
        for (; x < w; ++x, in += 3) {
            out[x] = 0xff000000u | (quint32(in[2]) << 16) | (quint32(in[1]) << 8) | in[0];
        }
        break;
    }
    default: {
        const bool wide = h.bitCount == 32;
        const bool alpha = h.alpha.mask != 0;
        for (int x = 0; x < w; ++x) {
            const quint32 c = wide ? u32(in + 4 * x) : u16(in + 2 * x);
            const QRgb rgb = qRgba(int(h.red.value(c)), int(h.green.value(c)), int(h.blue.value(c)),
                                   alpha ? int(h.alpha.value(c)) : 255);
            out[x] = alpha ? qPremultiply(rgb) : rgb;
        }
        break;
    }
    }
}

// Where the converted rows go: straight into the picture's memory, or, where the pixel memory
// takes the rows, through a band in the cache that it puts in place. The rows are found without
// QImage::scanLine(), which counts detaches and so may not be called from two threads at once.
class Rows {
  public:
    Rows(QImage& image, const decoders::PixelMemory* memory)
        : image_(image), memory_(memory != nullptr && memory->takesRows(image) ? memory : nullptr),
          first_(memory_ != nullptr ? nullptr : image.bits()), bytesPerLine_(image.bytesPerLine()) {
    }

    // Rows [top, top + count) of the picture, to be written and then handed to done().
    QRgb* band(int top, int count, std::vector<QRgb>& buffer) const {
        if (memory_ != nullptr) {
            buffer.resize(std::size_t(count) * std::size_t(bytesPerLine_ / 4));
            return buffer.data();
        }
        decoders::makePagesFor(first_ + top * bytesPerLine_, std::size_t(count * bytesPerLine_));
        return reinterpret_cast<QRgb*>(first_ + top * bytesPerLine_);
    }
    QRgb* row(QRgb* band, int r) const { return band + r * (bytesPerLine_ / 4); }
    void done(int top, int count, const QRgb* band) const {
        if (memory_ != nullptr) {
            memory_->putRows(image_, top * bytesPerLine_, reinterpret_cast<const uchar*>(band),
                             count * bytesPerLine_);
        }
    }

  private:
    const QImage& image_;
    const decoders::PixelMemory* memory_;
    uchar* first_;
    qsizetype bytesPerLine_;
};

// Reads the file rows [first, end) with `readAt(buffer, fileOffset, bytes)` and converts them
// into their image rows.
template <typename ReadAt>
Result readRowRange(ReadAt readAt, const Header& h, const Rows& out, qint64 first, qint64 end) {
    const qint64 rowsPerChunk = std::max<qint64>(1, chunkBytes / h.stride);
    QByteArray buffer(qsizetype(std::min<qint64>(rowsPerChunk, end - first) * h.stride),
                      Qt::Uninitialized);
    std::vector<QRgb> converted;
    for (qint64 chunk = first; chunk < end; chunk += rowsPerChunk) {
        const qint64 rows = std::min<qint64>(rowsPerChunk, end - chunk);
        if (!readAt(buffer.data(), h.pixelOffset + chunk * h.stride, rows * h.stride)) {
            return malformed("el archivo termina antes de los últimos píxeles");
        }
        const int top = int(h.topDown ? chunk : h.height - chunk - rows);
        QRgb* band = out.band(top, int(rows), converted);
        for (qint64 r = 0; r < rows; ++r) {
            const qint64 fileRow = chunk + r;
            const int y = int(h.topDown ? fileRow : h.height - 1 - fileRow);
            convertRow(h, reinterpret_cast<const uchar*>(buffer.constData()) + r * h.stride,
                       out.row(band, y - top));
        }
        out.done(top, int(rows), band);
    }
    return Result{Outcome::Decoded, {}, {}};
}

// A large picture is read in two halves at once, the second on a thread of its own: filling a
// hundred megabytes of fresh memory costs more than reading the file, and both cores can share
// it. Each half reads at its own offsets, so the two never share a file position.
Result readRowsInHalves(int fd, const Header& h, const Rows& out) {
    const auto readAt = [fd](char* buffer, qint64 offset, qint64 bytes) {
        return decoders::readAtOffset(fd, buffer, offset, bytes);
    };
    const qint64 middle = h.height / 2;
    std::future<Result> second = std::async(
        std::launch::async, [&] { return readRowRange(readAt, h, out, middle, h.height); });
    const Result first = readRowRange(readAt, h, out, 0, middle);
    Result last = second.get();
    return first.outcome == Outcome::Decoded ? last : first;
}

Result readRows(QIODevice& device, const Header& h, QImage& image,
                const decoders::PixelMemory* memory) {
    const Rows out(image, memory);
    const auto* file = qobject_cast<QFileDevice*>(&device);
    if (decoders::readsAtOffset() && file != nullptr && file->handle() >= 0 &&
        qint64(h.width) * h.height * 4 >= halvedBytes && QThread::idealThreadCount() > 1) {
        return readRowsInHalves(file->handle(), h, out);
    }
    // The rows follow one another from the pixel offset, where the device now stands.
    const auto readNext = [&device](char* buffer, qint64, qint64 bytes) {
        return device.read(buffer, bytes) == bytes;
    };
    return readRowRange(readNext, h, out, 0, h.height);
}

// Run-length encoded rows, bottom-up. Runs only move forward, so the pixels no run reaches are
// filled with colour 0 of the table as they are passed over, and every pixel is written once.
class RunLengthWriter {
  public:
    RunLengthWriter(const Header& h, QImage& image) : h_(h), image_(image) { startRow(); }

    int x() const { return x_; }
    int y() const { return y_; }
    void put(uint index) { row_[x_++] = h_.palette[index]; }
    // Fills the rest of the row and moves to the start of the next one.
    void endLine() {
        std::fill(row_ + x_, row_ + h_.width, h_.palette[0]);
        x_ = 0;
        ++y_;
        startRow();
    }
    void jump(int dx, int dy) {
        for (int i = 0; i < dy; ++i) {
            endLine();
        }
        std::fill(row_ + x_, row_ + x_ + dx, h_.palette[0]);
        x_ += dx;
    }
    void finish() {
        while (y_ < h_.height) {
            endLine();
        }
    }

  private:
    void startRow() {
        row_ =
            y_ < h_.height ? reinterpret_cast<QRgb*>(image_.scanLine(h_.height - 1 - y_)) : nullptr;
    }

    const Header& h_;
    QImage& image_;
    QRgb* row_ = nullptr;
    int x_ = 0;
    int y_ = 0;
};

Result readRunLength(QIODevice& device, const Header& h, QImage& image) {
    const QByteArray data = device.read(h.fileSize - h.pixelOffset);
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    const bool four = h.compression == Rle4;
    RunLengthWriter out(h, image);
    qint64 i = 0;
    while (out.y() < h.height) {
        if (i + 2 > size) {
            return malformed("los datos comprimidos terminan antes de tiempo");
        }
        const int count = p[i];
        const int code = p[i + 1];
        i += 2;
        if (count > 0) { // a run of one value (two alternating nibbles in RLE4)
            if (out.x() + count > h.width) {
                return malformed("una secuencia comprimida sale de la fila");
            }
            const uint first = four ? uint(code >> 4) : uint(code);
            const uint second = four ? uint(code & 0x0f) : uint(code);
            for (int k = 0; k < count; ++k) {
                out.put((k & 1) ? second : first);
            }
        } else if (code == 0) { // end of line
            out.endLine();
        } else if (code == 1) { // end of bitmap
            break;
        } else if (code == 2) { // move right and up
            if (i + 2 > size) {
                return malformed("los datos comprimidos terminan antes de tiempo");
            }
            const int targetX = out.x() + p[i];
            const int targetY = out.y() + p[i + 1];
            i += 2;
            if (targetX > h.width || targetY > h.height || (targetY == h.height && targetX > 0)) {
                return malformed("un salto sale de la imagen");
            }
            if (targetY > out.y()) {
                out.jump(0, targetY - out.y());
            }
            out.jump(targetX - out.x(), 0);
        } else { // code literal values follow, padded to an even number of bytes
            const qint64 bytes = four ? (code + 1) / 2 : code;
            if (out.x() + code > h.width) {
                return malformed("una secuencia comprimida sale de la fila");
            }
            if (i + bytes > size) {
                return malformed("los datos comprimidos terminan antes de tiempo");
            }
            const uchar* literal = p + i;
            if (four) {
                for (int k = 0; k < code; ++k) {
                    out.put((k & 1) ? (literal[k / 2] & 0x0f) : (literal[k / 2] >> 4));
                }
            } else {
                for (int k = 0; k < code; ++k) {
                    out.put(literal[k]);
                }
            }
            i += bytes + (bytes & 1);
        }
    }
    out.finish();
    return Result{Outcome::Decoded, {}, {}};
}

} // namespace

Result decode(QIODevice& device, qint64 maxBytes, const decoders::PixelMemory* memory) {
    Header h;
    Result header = readHeader(device, maxBytes, h);
    if (header.outcome != Outcome::Decoded) {
        return header;
    }
    if (memory != nullptr) {
        memory->pictureSized(qint64(h.width) * h.height * 4, workingPictures);
    }
    const QImage::Format format =
        h.alpha.mask != 0 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const bool runLength = h.compression == Rle8 || h.compression == Rle4;
    QImage image = memory == nullptr ? QImage(h.width, h.height, format)
                   : runLength       ? memory->make(h.width, h.height, format)
                                     : memory->makeForRows(h.width, h.height, format);
    if (image.isNull()) {
        return malformed("no hay memoria suficiente para la imagen");
    }
    if (!device.seek(h.pixelOffset)) {
        return malformed("la posición de los píxeles no es válida");
    }
    Result body = runLength ? readRunLength(device, h, image) : readRows(device, h, image, memory);
    if (body.outcome == Outcome::Decoded) {
        body.image = std::move(image);
    }
    return body;
}

} // namespace platform::bmp

namespace platform::decoders {

Decoded BitmapDecoder::decode(QFile& file, const DecodeContext& context) const {
    bmp::Result result = bmp::decode(file, context.maxBytes, context.memory);
    if (result.outcome == bmp::Outcome::Malformed) {
        throw DecodeFailure(result.reason);
    }
    if (result.outcome == bmp::Outcome::NotHandled) {
        file.seek(0);
        return QtImageDecoder("bmp").decode(file, context);
    }
    Decoded decoded;
    decoded.image = std::move(result.image);
    return decoded;
}

} // namespace platform::decoders
