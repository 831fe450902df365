#include "PictureFinish.h"

#include <QColorSpace>
#include <QTransform>
#include <future>
#include <lcms2.h>
#include <memory>

namespace platform::decoders {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

// The code points that mean sRGB's curve here: unspecified, sRGB, and the BT.709 family, which
// displays expect to be shown as sRGB.
bool srgbLikeTransfer(int transfer) {
    return transfer == 1 || transfer == 2 || transfer == 6 || transfer == 13 || transfer == 14 ||
           transfer == 15;
}

cmsToneCurve* transferCurve(int transfer) {
    if (transfer == 8) {
        return cmsBuildGamma(nullptr, 1.0);
    }
    if (transfer == 4) {
        return cmsBuildGamma(nullptr, 2.2);
    }
    if (transfer == 5) {
        return cmsBuildGamma(nullptr, 2.8);
    }
    const double srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, srgb);
}

// A profile for colour code points, or none where they mean sRGB or are not understood
// (PQ and HLG high dynamic range are shown as sRGB).
Profile codePointProfile(CodePoints cp) {
    struct Primaries {
        int code;
        cmsCIExyYTRIPLE xy;
    };
    static const Primaries known[] = {
        {9, {{0.708, 0.292, 1}, {0.170, 0.797, 1}, {0.131, 0.046, 1}}},  // BT.2020
        {12, {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}}}, // Display P3
        {1, {{0.640, 0.330, 1}, {0.300, 0.600, 1}, {0.150, 0.060, 1}}},  // BT.709, sRGB
    };
    const bool srgbPrimaries = cp.primaries == 1 || cp.primaries == 2;
    const bool knownTransfer =
        srgbLikeTransfer(cp.transfer) || cp.transfer == 4 || cp.transfer == 5 || cp.transfer == 8;
    if ((srgbPrimaries && srgbLikeTransfer(cp.transfer)) || !knownTransfer) {
        return {};
    }
    const Primaries* primaries = &known[2];
    for (const Primaries& p : known) {
        if (p.code == cp.primaries) {
            primaries = &p;
        }
    }
    if (!srgbPrimaries && primaries == &known[2]) {
        return {};
    }
    cmsCIExyY white{0.3127, 0.3290, 1};
    cmsToneCurve* curve = transferCurve(cp.transfer);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Profile profile(cmsCreateRGBProfile(&white, &primaries->xy, curves));
    cmsFreeToneCurve(curve);
    return profile;
}

Profile sourceProfile(const Decoded& decoded) {
    if (decoded.iccProfile.isEmpty()) {
        return codePointProfile(decoded.codePoints);
    }
    if (decoded.model == PixelModel::Rgb &&
        QColorSpace::fromIccProfile(decoded.iccProfile) == QColorSpace(QColorSpace::SRgb)) {
        return {};
    }
    return Profile(cmsOpenProfileFromMem(decoded.iccProfile.constData(),
                                         cmsUInt32Number(decoded.iccProfile.size())));
}

// Runs the transform over the picture in place, the two halves at once.
void transformInPlace(void* transform, QImage& image) {
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto rows = [&](int first, int count) {
        if (count > 0) {
            uchar* start = bits + first * stride;
            cmsDoTransformLineStride(transform, start, start, cmsUInt32Number(image.width()),
                                     cmsUInt32Number(count), cmsUInt32Number(stride),
                                     cmsUInt32Number(stride), 0, 0);
        }
    };
    const int half = image.height() / 2;
    std::future<void> second =
        image.height() >= 256 ? std::async(std::launch::async, rows, half, image.height() - half)
                              : std::future<void>();
    rows(0, second.valid() ? half : image.height());
    if (second.valid()) {
        second.get();
    }
}

// CMYK without a profile: the plain formula every viewer falls back to.
void naiveCmykToRgb(QImage& image, bool inverted) {
    for (int y = 0; y < image.height(); ++y) {
        uchar* p = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x, p += 4) {
            int ink[4] = {p[0], p[1], p[2], p[3]};
            for (int& v : ink) {
                v = inverted ? v : 255 - v; // what is left of the white
            }
            const QRgb rgb =
                qRgb(ink[0] * ink[3] / 255, ink[1] * ink[3] / 255, ink[2] * ink[3] / 255);
            *reinterpret_cast<QRgb*>(p) = rgb;
        }
    }
}

void setOpaque(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] |= 0xff000000u;
        }
    }
}

} // namespace

void convertToSrgb(Decoded& decoded) {
    const Profile source = sourceProfile(decoded);
    const bool cmyk = decoded.model != PixelModel::Rgb;
    const cmsColorSpaceSignature wanted = cmyk ? cmsSigCmykData : cmsSigRgbData;
    if (!source || cmsGetColorSpace(source.get()) != wanted) {
        if (cmyk) {
            naiveCmykToRgb(decoded.image, decoded.model == PixelModel::InvertedCmyk);
            decoded.model = PixelModel::Rgb;
        }
        return; // untagged, sRGB, or a profile that does not fit the pixels: shown as stored
    }
    if (decoded.image.format() == QImage::Format_ARGB32_Premultiplied) {
        decoded.image.convertTo(QImage::Format_ARGB32);
    }
    const Profile srgb(cmsCreate_sRGBProfile());
    const cmsUInt32Number input = decoded.model == PixelModel::InvertedCmyk ? TYPE_CMYK_8_REV
                                  : cmyk                                    ? TYPE_CMYK_8
                                                                            : TYPE_BGRA_8;
    const Transform transform(
        cmsCreateTransform(source.get(), input, srgb.get(), TYPE_BGRA_8, INTENT_PERCEPTUAL,
                           cmsFLAGS_NOCACHE | (cmyk ? 0 : cmsFLAGS_COPY_ALPHA)));
    if (!transform) {
        return;
    }
    transformInPlace(transform.get(), decoded.image);
    if (cmyk) {
        setOpaque(decoded.image);
        decoded.model = PixelModel::Rgb;
    }
}

QImage turnUpright(const QImage& image, Orientation orientation) {
    const auto quarter = [](const QImage& i, int degrees) {
        return i.transformed(QTransform().rotate(degrees));
    };
    switch (orientation) {
    case Orientation::Upright:
        return image;
    case Orientation::MirrorHorizontal:
        return image.mirrored(true, false);
    case Orientation::Rotate180:
        return image.mirrored(true, true);
    case Orientation::MirrorVertical:
        return image.mirrored(false, true);
    case Orientation::Transpose:
        return quarter(image, 90).mirrored(true, false);
    case Orientation::Rotate90:
        return quarter(image, 90);
    case Orientation::Transverse:
        return quarter(image, 90).mirrored(false, true);
    case Orientation::Rotate270:
        return quarter(image, 270);
    }
    return image;
}

QImage finishPicture(Decoded decoded) {
    convertToSrgb(decoded);
    QImage image = turnUpright(decoded.image, decoded.orientation);
    decoded.image = QImage(); // the stored pixels go as soon as the turned ones exist
    const QImage::Format drawFormat =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != drawFormat) {
        image.convertTo(drawFormat);
    }
    return image;
}

} // namespace platform::decoders
