// SPDX-License-Identifier: MIT
#include "ColourToSrgb.h"

#include "modules/FormatModule.h"

#include <QColorSpace>
#include <QColorTransform>
#include <QPointF>
#include <algorithm>

namespace platform::decoders {

namespace {

// Colour code points (ITU-T H.273) as a colour space; invalid where they mean sRGB or are not
// understood (PQ and HLG high dynamic range are shown as sRGB).
QColorSpace codePointSpace(CodePoints cp) {
    QColorSpace::TransferFunction transfer = QColorSpace::TransferFunction::SRgb;
    float gamma = 0.0f;
    switch (cp.transfer) {
    case 1:
    case 2:
    case 6:
    case 13:
    case 14:
    case 15: // sRGB, and BT.709's family shown as it
        break;
    case 8:
        transfer = QColorSpace::TransferFunction::Linear;
        break;
    case 4:
    case 5:
        transfer = QColorSpace::TransferFunction::Gamma;
        gamma = cp.transfer == 4 ? 2.2f : 2.8f;
        break;
    default:
        return {};
    }
    const QPointF d65(0.3127, 0.3290);
    switch (cp.primaries) {
    case 1:
    case 2: // BT.709 (sRGB's) and unspecified
        return transfer == QColorSpace::TransferFunction::SRgb
                   ? QColorSpace()
                   : QColorSpace(QColorSpace::Primaries::SRgb, transfer, gamma);
    case 9: // BT.2020
        return QColorSpace(d65, {0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}, transfer, gamma);
    case 12: // Display P3
        return QColorSpace(QColorSpace::Primaries::DciP3D65, transfer, gamma);
    default:
        return {};
    }
}

// The colour space Qt would convert from, for RGB pixels; invalid where Qt cannot say.
QColorSpace qtSpace(const Decoded& decoded) {
    if (decoded.model != PixelModel::Rgb) {
        return {};
    }
    return decoded.iccProfile.isEmpty() ? codePointSpace(decoded.codePoints)
                                        : QColorSpace::fromIccProfile(decoded.iccProfile);
}

bool isSrgb(const QColorSpace& space) {
    return space == QColorSpace(QColorSpace::SRgb);
}

// CMYK without a usable profile: the plain formula every viewer falls back to.
void naiveCmykToRgb(QImage& image, bool inverted) {
    for (int y = 0; y < image.height(); ++y) {
        uchar* p = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            int left[4] = {p[0], p[1], p[2], p[3]}; // what is left of the white, per ink
            for (int& v : left) {
                v = inverted ? v : 255 - v;
            }
            *reinterpret_cast<QRgb*>(p) =
                qRgb(left[0] * left[3] / 255, left[1] * left[3] / 255, left[2] * left[3] / 255);
        }
    }
}

// Applies the transform on this thread, a band of rows at a time. Qt spreads the transform of a
// picture of 128 kB or more over its thread pool, and a thread of Qt's cannot start in a reader
// process: each makes an event loop whose wake-up pipe the lock-down refuses, and GLib then ends
// the process. Each band is under 64 kB (a row at least), which Qt transforms on the calling
// thread.
void transformHere(QImage& image, const QColorTransform& transform) {
    constexpr qint64 bandBytes = (qint64(1) << 16) - 1;
    const int rows = int(std::max<qint64>(1, bandBytes / image.bytesPerLine()));
    uchar* const bits = image.bits();
    for (int y = 0; y < image.height(); y += rows) {
        QImage band(bits + qint64(y) * image.bytesPerLine(), image.width(),
                    std::min(rows, image.height() - y), image.bytesPerLine(), image.format());
        band.applyColorTransform(transform);
    }
}

} // namespace

bool colourNeedsToolkit(const Decoded& decoded) {
    const QColorSpace space = qtSpace(decoded);
    return space.isValid() && !isSrgb(space);
}

bool convertWithQt(Decoded& decoded) {
    const QColorSpace space = qtSpace(decoded);
    if (!space.isValid()) {
        return decoded.model == PixelModel::Rgb && decoded.iccProfile.isEmpty(); // untagged
    }
    if (!isSrgb(space)) {
        transformHere(decoded.image, space.transformationToColorSpace(QColorSpace::SRgb));
    }
    return true;
}

void convertToSrgb(Decoded& decoded) {
    bool (*const littleCms)(Decoded&) = installedLittleCms();
    if (convertWithQt(decoded) || (littleCms != nullptr && littleCms(decoded))) {
        return;
    }
    // A profile that does not fit the pixels (a grey one, say), cannot be read, or needs Little
    // CMS where it could not be loaded: shown as stored; CMYK without one by the plain formula.
    if (decoded.model != PixelModel::Rgb) {
        naiveCmykToRgb(decoded.image, decoded.model == PixelModel::InvertedCmyk);
        decoded.model = PixelModel::Rgb;
    }
}

} // namespace platform::decoders
