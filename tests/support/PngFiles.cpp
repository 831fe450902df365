// SPDX-License-Identifier: MIT
#include "PngFiles.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <cstdlib>
#include <zlib.h>

namespace testing_support {

namespace {

QByteArray bigEndian(quint32 value) {
    QByteArray out(4, '\0');
    qToBigEndian(value, out.data());
    return out;
}

QByteArray deflated(const QByteArray& data, int level) {
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()), level);
    out.resize(qsizetype(size));
    return out;
}

int channels(int colourType) {
    return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
}

uchar paethOf(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uchar(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// One row filtered with `type`, its filter byte first.
QByteArray filtered(const QByteArray& row, const QByteArray& prior, int type, int step) {
    QByteArray out(row.size() + 1, '\0');
    out[0] = char(type);
    for (qsizetype i = 0; i < row.size(); ++i) {
        const int x = uchar(row[i]);
        const int a = i >= step ? uchar(row[i - step]) : 0;
        const int b = uchar(prior[i]);
        const int c = i >= step ? uchar(prior[i - step]) : 0;
        const int predicted = type == 1   ? a
                              : type == 2 ? b
                              : type == 3 ? (a + b) / 2
                              : type == 4 ? paethOf(a, b, c)
                                          : 0;
        out[i + 1] = char(x - predicted);
    }
    return out;
}

// Random samples for one row; palette indices stay below the palette's size but for one, and
// every fifth pixel of a picture with a transparent colour gets that colour.
QByteArray samples(const PngLayout& l, int pixels, QRandomGenerator& random) {
    const int bits = l.bitDepth * channels(l.colourType);
    QByteArray row((qsizetype(pixels) * bits + 7) / 8, '\0');
    for (auto& b : row) {
        b = char(random.bounded(256));
    }
    if (l.colourType == 3 && l.bitDepth == 8) {
        for (int x = 0; x < pixels; ++x) {
            row[x] = char(x == 3 ? 255 : random.bounded(l.paletteEntries));
        }
    }
    const bool keyed = !l.transparency.isEmpty() && (l.colourType == 0 || l.colourType == 2);
    if (keyed && l.bitDepth >= 8) {
        const int bytes = bits / 8;
        for (int x = 0; x < pixels; x += 5) {
            for (int i = 0; i < bytes; ++i) { // the key's samples are 16 bits, big-endian
                row[x * bytes + i] =
                    l.bitDepth == 16 ? l.transparency[i] : l.transparency[2 * i + 1];
            }
        }
    }
    return row;
}

} // namespace

QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    const QByteArray body = type + data;
    return bigEndian(quint32(data.size())) + body +
           bigEndian(quint32(
               crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

QByteArray iccpData(const QByteArray& profile) {
    return QByteArray("Perfil\0\0", 8) + deflated(profile, 9);
}

QByteArray makePng(const PngLayout& layout) {
    PngLayout l = layout;
    if (l.colourType == 3 && l.paletteEntries == 0) {
        l.paletteEntries = 1 << l.bitDepth;
    }
    QRandomGenerator random(l.seed);
    QByteArray header = bigEndian(quint32(l.width)) + bigEndian(quint32(l.height));
    header += char(l.bitDepth);
    header += char(l.colourType);
    header += QByteArray(2, '\0');
    header += char(l.interlaced ? 1 : 0);
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\n") + pngChunk("IHDR", header);
    for (const auto& chunk : l.chunks) {
        png += pngChunk(chunk.first, chunk.second);
    }
    if (l.colourType == 3) {
        QByteArray palette;
        for (int i = 0; i < 3 * l.paletteEntries; ++i) {
            palette += char(random.bounded(256));
        }
        png += pngChunk("PLTE", palette);
    }
    if (!l.transparency.isEmpty()) {
        png += pngChunk("tRNS", l.transparency);
    }
    const int step = std::max(1, l.bitDepth * channels(l.colourType) / 8);
    const struct {
        int x0, y0, dx, dy;
    } passes[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    QByteArray data;
    int type = 0;
    for (int p = 0; p < (l.interlaced ? 7 : 1); ++p) {
        const auto pass = l.interlaced ? passes[p] : decltype(passes[0]){0, 0, 1, 1};
        const int columns = (l.width - pass.x0 + pass.dx - 1) / pass.dx;
        const int rows = (l.height - pass.y0 + pass.dy - 1) / pass.dy;
        if (columns <= 0 || rows <= 0) {
            continue;
        }
        QByteArray prior;
        for (int r = 0; r < rows; ++r) {
            const QByteArray row = samples(l, columns, random);
            if (prior.isEmpty()) {
                prior = QByteArray(row.size(), '\0');
            }
            data += filtered(row, prior, type++ % 5, step);
            prior = row;
        }
    }
    const QByteArray stream = deflated(data, l.level);
    for (qsizetype at = 0; at < stream.size(); at += 1000) { // several chunks, as writers do
        png += pngChunk("IDAT", stream.mid(at, 1000));
    }
    return png + pngChunk("IEND", {});
}

} // namespace testing_support
