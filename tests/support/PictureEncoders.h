// SPDX-License-Identifier: MIT
#pragma once

// Test pictures in the formats and with the metadata people's files carry, made with the
// libraries' own encoders at test time: AVIF, HEIC, JPEG XL, JPEGs with an EXIF orientation, an
// ICC profile or CMYK pixels.

#include <QByteArray>
#include <QImage>

namespace testing_support {

// Whether this build has libavif: the Windows build reads AVIF through libheif instead (a
// sequence as its first picture) and has neither an AV1 nor an HEVC encoder.
bool libavifBuilt();
// AVIF (8-bit 4:4:4); quarterTurns and mirrorMode (-1: none) go into its irot and imir boxes.
// HEIC. Both empty where the build has no encoder for them (libavifBuilt()).
QByteArray encodeAvif(const QImage& image, int quarterTurns = 0, int mirrorMode = -1);
QByteArray encodeHeic(const QImage& image);
// Lossless JPEG XL with the given EXIF-style orientation, at libjxl's effort (1 fastest, 7 its
// default).
QByteArray encodeJxl(const QImage& image, int orientation = 1, int effort = 7);

// A JPEG of the image (quality 100) with an APP1 EXIF block holding the orientation, an APP2 ICC
// profile, or neither.
QByteArray jpegWith(const QImage& image, int orientation, const QByteArray& iccProfile = {});
// A CMYK JPEG of one colour; `adobe` stores every value inverted under Adobe's APP14 marker, as
// Adobe's programs do; `progressive` writes it in libjpeg's progressive scans.
QByteArray cmykJpeg(int width, int height, const uchar cmyk[4], bool adobe,
                    bool progressive = false);
// An RGB profile with sRGB's curve and white point and the given primaries (x, y of red, green
// and blue).
QByteArray rgbProfile(const double primaries[6]);
// Such a profile whose red and green primaries trade places, and Display P3's.
QByteArray swappedRedGreenProfile();
QByteArray displayP3Profile();
// The image written by Qt's writer for the format (WebP by libwebp, as Qt's plug-in writes it), at
// that quality where it has one (-1: the writer's own default).
QByteArray encoded(const QImage& image, const char* format, int quality = 100);
// A PNG with an extra chunk after its header; one with an eXIf chunk holding the orientation,
// and a WebP with an EXIF chunk holding it.
QByteArray pngWithChunk(const QImage& image, const char type[4], const QByteArray& data);
QByteArray pngWithExif(const QImage& image, int orientation);
QByteArray webpWithExif(const QImage& image, int orientation);
// An animated WebP on a canvas of that size whose first frame is the image (lossless) at (x, y),
// both even; a second frame follows.
QByteArray webpAnimation(const QImage& first, int x, int y, int canvasWidth, int canvasHeight);
// An EXIF block (TIFF header and one directory) holding only the orientation.
QByteArray exifBlock(int orientation);

} // namespace testing_support
