// SPDX-License-Identifier: MIT
#include "ContainerMetadata.h"

namespace platform::decoders {

namespace {

quint32 readUnsigned(QByteArrayView bytes, qsizetype at, int size, bool bigEndian) {
    quint32 value = 0;
    for (int i = 0; i < size; ++i) {
        const quint32 byte = quint8(bytes[at + (bigEndian ? i : size - 1 - i)]);
        value = (value << 8) | byte;
    }
    return value;
}

// The payload of the first chunk called `name` in a sequence of chunks from `start` on. PNG
// chunks: 4-byte big-endian length, name, data, CRC. RIFF chunks: name, 4-byte little-endian
// length, data padded to an even size.
QByteArrayView findChunk(QByteArrayView file, qsizetype start, const char* name, bool png) {
    qsizetype at = start;
    while (at + 8 <= file.size()) {
        const qint64 length =
            png ? readUnsigned(file, at, 4, true) : readUnsigned(file, at + 4, 4, false);
        const QByteArrayView type = file.sliced(png ? at + 4 : at, 4);
        const qsizetype data = at + 8;
        if (length > file.size() - data) {
            return {};
        }
        if (type == QByteArrayView(name, 4)) {
            return file.sliced(data, qsizetype(length));
        }
        at = data + qsizetype(length) + (png ? 4 : (length & 1));
    }
    return {};
}

} // namespace

Orientation exifOrientation(QByteArrayView exif) {
    if (exif.startsWith(QByteArrayView("Exif\0\0", 6))) {
        exif = exif.sliced(6);
    }
    if (exif.size() < 8 || !(exif.startsWith("II") || exif.startsWith("MM"))) {
        return Orientation::Upright;
    }
    const bool big = exif[0] == 'M';
    const quint32 directory = readUnsigned(exif, 4, 4, big);
    if (directory > quint32(exif.size()) - 2) {
        return Orientation::Upright;
    }
    const quint32 entries = readUnsigned(exif, directory, 2, big);
    for (quint32 i = 0; i < entries; ++i) {
        const qint64 entry = qint64(directory) + 2 + qint64(i) * 12;
        if (entry + 12 > exif.size()) {
            break;
        }
        if (readUnsigned(exif, entry, 2, big) == 0x0112 &&
            readUnsigned(exif, entry + 2, 2, big) == 3) {
            const quint32 value = readUnsigned(exif, entry + 8, 2, big);
            return value >= 1 && value <= 8 ? Orientation(value) : Orientation::Upright;
        }
    }
    return Orientation::Upright;
}

Orientation orientationInContainer(QByteArrayView file, const QByteArray& format) {
    if (format == "png" && file.startsWith("\x89PNG\r\n\x1a\n")) {
        return exifOrientation(findChunk(file, 8, "eXIf", true));
    }
    if (format == "webp" && file.size() >= 12 && file.sliced(8, 4) == "WEBP") {
        return exifOrientation(findChunk(file, 12, "EXIF", false));
    }
    return Orientation::Upright;
}

std::optional<CodePoints> pngCodePoints(QByteArrayView file) {
    if (!file.startsWith("\x89PNG\r\n\x1a\n")) {
        return std::nullopt;
    }
    const QByteArrayView cicp = findChunk(file, 8, "cICP", true);
    if (cicp.size() < 4) {
        return std::nullopt;
    }
    return CodePoints{quint8(cicp[0]), quint8(cicp[1])};
}

} // namespace platform::decoders
