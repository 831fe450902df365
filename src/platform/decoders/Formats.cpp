// SPDX-License-Identifier: MIT
#include "AvifDecoder.h"
#include "BmpDecoder.h"
#include "HeifDecoder.h"
#include "JpegDecoder.h"
#include "JxlDecoder.h"
#include "QtImageDecoder.h"
#include "png/PngDecoder.h"
#include "webp/WebpDecoder.h"

#include <QStringList>
#include <QtEndian>
#include <array>
#include <memory>

namespace platform::decoders {

void DecodeContext::checkSize(qint64 width, qint64 height) const {
    if (width <= 0 || height <= 0) {
        throw DecodeFailure(QStringLiteral("la imagen no tiene píxeles"));
    }
    if (width > maxBytes / 4 / height || width > 1 << 20 || height > 1 << 20) {
        throw DecodeFailure(QStringLiteral("la imagen (%1 × %2 píxeles) es demasiado grande")
                                .arg(width)
                                .arg(height));
    }
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

namespace {

bool isGif(const QByteArray& h) {
    return h.startsWith("GIF87a") || h.startsWith("GIF89a");
}
bool isIcon(const QByteArray& h) { // icons and cursors: reserved 0, type 1 or 2, count > 0
    return h.size() >= 6 && h[0] == 0 && h[1] == 0 && (h[2] == 1 || h[2] == 2) && h[3] == 0 &&
           (h[4] != 0 || h[5] != 0);
}
bool isAnymap(const QByteArray& h) { // P1 to P6 and a blank
    return h.size() >= 3 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6' &&
           QByteArrayView(" \t\r\n").contains(h[2]);
}
bool isXbm(const QByteArray& h) {
    return h.startsWith("#define ");
}

struct Registry {
    BitmapDecoder bmp;
    JpegDecoder jpeg;
    PngDecoder png;
    QtImageDecoder gif{"gif", isGif};
    WebpDecoder webp;
    QtImageDecoder ico{"ico", isIcon};
    QtImageDecoder anymap{"ppm", isAnymap};
    QtImageDecoder xbm{"xbm", isXbm};
    AvifDecoder avif;
    HeifDecoder heif;
    JxlDecoder jxl;

    std::array<const PictureDecoder*, 11> all() const {
        return {&bmp, &jpeg, &png, &gif, &webp, &ico, &anymap, &xbm, &avif, &heif, &jxl};
    }
};

const Registry& registry() {
    static const Registry formats;
    return formats;
}

} // namespace

const PictureDecoder* decoderFor(const QByteArray& head) {
    for (const PictureDecoder* decoder : registry().all()) {
        if (decoder->recognises(head)) {
            return decoder;
        }
    }
    return nullptr;
}

QList<QByteArray> readableFormats() {
    QList<QByteArray> formats;
    for (const PictureDecoder* decoder : registry().all()) {
        formats << decoder->format();
    }
    return formats;
}

QStringList readablePatterns() {
    return QStringLiteral("*.bmp *.dib *.gif *.ico *.cur *.png *.jpg *.jpeg *.jpe *.jfif *.webp "
                          "*.pbm *.pgm *.ppm *.pnm *.xbm *.avif *.heic *.heif *.hif *.jxl")
        .split(QLatin1Char(' '));
}

} // namespace platform::decoders
