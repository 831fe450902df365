// SPDX-License-Identifier: MIT
// The conversion by Little CMS: lookup-table RGB profiles and CMYK, which Qt cannot convert.

#include "ColourToSrgb.h"
#include "TwoHalves.h"

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

// Runs the transform over the picture in place, the two halves at once.
void transformInPlace(void* transform, QImage& image) {
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    inTwoHalves(image.height(), 256, 1, [&](int first, int end) {
        uchar* start = bits + first * stride;
        cmsDoTransformLineStride(transform, start, start, cmsUInt32Number(image.width()),
                                 cmsUInt32Number(end - first), cmsUInt32Number(stride),
                                 cmsUInt32Number(stride), 0, 0);
    });
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

bool convertWithLittleCms(Decoded& decoded) {
    if (decoded.iccProfile.isEmpty()) {
        return false;
    }
    const Profile source(cmsOpenProfileFromMem(decoded.iccProfile.constData(),
                                               cmsUInt32Number(decoded.iccProfile.size())));
    const bool cmyk = decoded.model != PixelModel::Rgb;
    if (!source || cmsGetColorSpace(source.get()) != (cmyk ? cmsSigCmykData : cmsSigRgbData)) {
        return false;
    }
    if (decoded.image.format() == QImage::Format_ARGB32_Premultiplied) {
        decoded.image.convertTo(QImage::Format_ARGB32);
    }
    const Profile srgb(cmsCreate_sRGBProfile());
    const cmsUInt32Number input = decoded.model == PixelModel::InvertedCmyk ? TYPE_CMYK_8_REV
                                  : cmyk                                    ? TYPE_CMYK_8
                                                                            : TYPE_BGRA_8;
    const cmsUInt32Number flags = cmsFLAGS_NOCACHE | (cmyk ? 0 : cmsFLAGS_COPY_ALPHA);
    const Transform transform(
        cmsCreateTransform(source.get(), input, srgb.get(), TYPE_BGRA_8, INTENT_PERCEPTUAL, flags));
    if (!transform) {
        return false;
    }
    transformInPlace(transform.get(), decoded.image);
    if (cmyk) {
        setOpaque(decoded.image);
        decoded.model = PixelModel::Rgb;
    }
    return true;
}

} // namespace platform::decoders
