// SPDX-License-Identifier: MIT
// What every reader may use, linked into the program and into each format module alike.

#include "FrameReader.h"
#include "PictureDecoder.h"

#include <QtEndian>

namespace platform::decoders {

void DecodeContext::checkSize(qint64 width, qint64 height, double workingPictures) const {
    if (width <= 0 || height <= 0) {
        throw DecodeFailure(QStringLiteral("la imagen no tiene píxeles"));
    }
    if (width > maxBytes / 4 / height || width > 1 << 20 || height > 1 << 20) {
        throw DecodeFailure(QStringLiteral("la imagen (%1 × %2 píxeles) es demasiado grande")
                                .arg(width)
                                .arg(height));
    }
    if (memory != nullptr) {
        memory->pictureSized(width * height * 4, workingPictures);
    }
}

std::unique_ptr<FrameReader> PictureDecoder::openFrames(QFile&, const DecodeContext&) const {
    return nullptr;
}

bool hasBrand(const QByteArray& head, std::initializer_list<const char*> brands) {
    if (head.size() < 12 || head.mid(4, 4) != "ftyp") {
        return false;
    }
    const QByteArray major = head.mid(8, 4);
    for (const char* brand : brands) {
        if (major == brand) {
            return true;
        }
    }
    return false;
}

void rgbaToArgb32(QImage& image, bool alpha) {
    const quint32 opaque = alpha ? 0 : 0xff000000u;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const quint32 v = qFromLittleEndian(row[x]); // 0xAABBGGRR
            row[x] = (v & 0xff00ff00u) | ((v & 0xffu) << 16) | ((v >> 16) & 0xffu) | opaque;
        }
    }
    image.reinterpretAsFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

} // namespace platform::decoders
