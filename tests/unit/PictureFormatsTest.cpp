// SPDX-License-Identifier: MIT
// Pictures as people have them: names that do not match the content, photographs taken sideways,
// colour profiles, CMYK and grey JPEGs, and the newer formats.

#include "reading/ImageFileLoader.h"
#include "reading/decoders/AvifDecoder.h"
#include "reading/decoders/ColourToSrgb.h"
#include "support/PictureEncoders.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <functional>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

QImage load(PictureFiles& files, const QString& name, const QByteArray& bytes) {
    return platform::ImageFileLoader().loadPicture(files.writeText(name, bytes)).pixels();
}

bool near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// 32 × 24 with a colour block in each corner, so every turn and mirror shows.
QImage markedCorners() {
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QRgb corners[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                             qRgb(255, 255, 255)};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            image.setPixel(x, y, corners[0]);
            image.setPixel(31 - x, y, corners[1]);
            image.setPixel(x, 23 - y, corners[2]);
            image.setPixel(31 - x, 23 - y, corners[3]);
        }
    }
    return image;
}

void expectSameCorners(const QImage& shown, const QImage& expected, const std::string& what) {
    ASSERT_EQ(shown.size(), expected.size()) << what;
    const int w = shown.width() - 1;
    const int h = shown.height() - 1;
    for (const QPoint p :
         {QPoint(3, 3), QPoint(w - 3, 3), QPoint(3, h - 3), QPoint(w - 3, h - 3)}) {
        EXPECT_TRUE(near(shown.pixel(p), expected.pixel(p), 24))
            << what << " at " << p.x() << "," << p.y() << ": " << std::hex << shown.pixel(p)
            << " instead of " << expected.pixel(p);
    }
}

// A JPEG XL codestream in the ISO container: the signature box, the file type, the codestream.
QByteArray inJxlContainer(const QByteArray& codestream) {
    QByteArray file("\0\0\0\x0cJXL \r\n\x87\n\0\0\0\x14"
                    "ftypjxl \0\0\0\0jxl ",
                    32);
    const quint32 size = quint32(codestream.size() + 8);
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.append(char((size >> shift) & 0xff));
    }
    return file + "jxlc" + codestream;
}

TEST(PictureFormats, TheContentDecidesNotTheName) {
    PictureFiles files;
    const QImage image = patternImage(20, 10);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"foto.jpg", encoded(image, "png")},       {"foto.bmp", encoded(image, "jpeg")},
        {"corte.gif", encoded(image, "bmp")},      {"corte.ico", encoded(image, "bmp")},
        {"sin-extension", encoded(image, "jpeg")}, {"foto.png", encoded(image, "webp")},
        {"foto.webp", encodeAvif(image)},          {"foto.avif", encodeHeic(image)},
        {"foto.heic", encodeJxl(image)},           {"foto.jpeg", inJxlContainer(encodeJxl(image))},
    };
    for (const auto& c : cases) {
        if (c.bytes.isEmpty()) {
            continue; // no encoder for it in this build
        }
        EXPECT_EQ(load(files, QString::fromUtf8(c.name), c.bytes).size(), QSize(20, 10)) << c.name;
    }
}

// Qt's own JPEG reader, told to apply the EXIF orientation, is the reference for all eight.
TEST(PictureFormats, EveryOrientationIsShownUpright) {
    PictureFiles files;
    const QImage stored = markedCorners();
    for (int o = 1; o <= 8; ++o) {
        const QByteArray jpeg = jpegWith(stored, o);
        QBuffer buffer;
        buffer.setData(jpeg);
        QImageReader reference(&buffer, "jpeg");
        reference.setAutoTransform(true);
        const QImage expected = reference.read();
        const std::string name = "orientation " + std::to_string(o);
        expectSameCorners(load(files, QStringLiteral("o%1.jpg").arg(o), jpeg), expected,
                          "JPEG " + name);
        expectSameCorners(load(files, QStringLiteral("o%1.jxl").arg(o), encodeJxl(stored, o)),
                          expected, "JPEG XL " + name);
        expectSameCorners(load(files, QStringLiteral("o%1.png").arg(o), pngWithExif(stored, o)),
                          expected, "PNG " + name);
        expectSameCorners(load(files, QStringLiteral("o%1.webp").arg(o), webpWithExif(stored, o)),
                          expected, "WebP " + name);
    }
}

TEST(PictureFormats, AvifRotationAndMirrorBoxesAreApplied) {
    if (!testing_support::libavifBuilt()) {
        GTEST_SKIP() << "no AVIF encoder in this build";
    }
    const struct {
        int turns;
        int mirror;
        platform::decoders::Orientation as;
    } cases[] = {{1, -1, platform::decoders::Orientation::Rotate270},
                 {3, -1, platform::decoders::Orientation::Rotate90},
                 {0, 1, platform::decoders::Orientation::MirrorHorizontal},
                 {1, 0, platform::decoders::Orientation::Transpose}};
    PictureFiles files;
    const QImage stored = markedCorners();
    for (const auto& c : cases) {
        EXPECT_EQ(platform::decoders::orientationOfBoxes(c.turns, c.mirror), c.as);
        QBuffer buffer;
        buffer.setData(jpegWith(stored, int(c.as)));
        QImageReader reference(&buffer, "jpeg");
        reference.setAutoTransform(true);
        expectSameCorners(
            load(files, QStringLiteral("girada.avif"), encodeAvif(stored, c.turns, c.mirror)),
            reference.read(), "AVIF irot " + std::to_string(c.turns));
    }
}

TEST(PictureFormats, ColoursAreShownInSrgb) {
    PictureFiles files;
    QImage red(16, 16, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    QImage swappedPng = red;
    swappedPng.setColorSpace(QColorSpace::fromIccProfile(swappedRedGreenProfile()));
    // Large enough for Qt to spread its transform over threads, which a reader cannot start.
    QImage largeSwappedPng(512, 512, QImage::Format_RGB32);
    largeSwappedPng.fill(qRgb(255, 0, 0));
    largeSwappedPng.setColorSpace(swappedPng.colorSpace());
    QImage grey(16, 16, QImage::Format_Grayscale8);
    grey.fill(128);
    QImage known(16, 16, QImage::Format_RGB32);
    known.fill(qRgb(10, 200, 60));
    const uchar cmykRed[4] = {0, 255, 255, 0};
    QImage deep(16, 16, QImage::Format_RGBX64);
    deep.fill(QColor(10, 200, 60));
    QImage stored(16, 16, QImage::Format_RGB32);
    stored.fill(qRgb(200, 100, 50));
    const QRgb inDisplayP3 =
        QColorSpace(QColorSpace::Primaries::DciP3D65, QColorSpace::TransferFunction::SRgb)
            .transformationToColorSpace(QColorSpace::SRgb)
            .map(qRgb(200, 100, 50));
    const struct {
        const char* name;
        QByteArray bytes;
        QRgb shown;
        int tolerance;
        QSize size = {16, 16};
    } cases[] = {
        {"sin-perfil.jpg", jpegWith(red, 0), qRgb(254, 0, 0), 4},
        {"rojo-verde.jpg", jpegWith(red, 0, swappedRedGreenProfile()), qRgb(0, 255, 0), 6},
        {"rojo-verde.png", encoded(swappedPng, "png"), qRgb(0, 255, 0), 6},
        {"rojo-verde-grande.png", encoded(largeSwappedPng, "png"), qRgb(0, 255, 0), 6, {512, 512}},
        {"gris.jpg", encoded(grey, "jpeg"), qRgb(128, 128, 128), 2},
        {"cmyk.jpg", cmykJpeg(16, 16, cmykRed, false), qRgb(255, 0, 0), 4},
        {"cmyk-adobe.jpg", cmykJpeg(16, 16, cmykRed, true), qRgb(255, 0, 0), 4},
        {"16-bits.png", encoded(deep, "png"), qRgb(10, 200, 60), 1},
        {"cicp-p3.png", pngWithChunk(stored, "cICP", QByteArray("\x0c\x0d\x00\x01", 4)),
         inDisplayP3, 2},
        {"conocido.avif", encodeAvif(known), qRgb(10, 200, 60), 4},
        {"conocido.heic", encodeHeic(known), qRgb(10, 200, 60), 12},
        {"conocido.jxl", encodeJxl(known), qRgb(10, 200, 60), 0},
    };
    for (const auto& c : cases) {
        if (c.bytes.isEmpty()) {
            continue; // no encoder for it in this build
        }
        const QImage shown = load(files, QString::fromUtf8(c.name), c.bytes);
        ASSERT_EQ(shown.size(), c.size) << c.name;
        for (const QPoint at : {QPoint(8, 8), QPoint(c.size.width() - 1, c.size.height() - 1)}) {
            EXPECT_TRUE(near(shown.pixel(at), c.shown, c.tolerance))
                << c.name << ": " << std::hex << shown.pixel(at);
        }
    }
}

} // namespace

namespace {

// Qt's transform is used where it can be because it is faster; it must give Little CMS's pixels.
TEST(PictureFormats, QtsColourTransformGivesLittleCmssPixels) {
    QImage gradient(256, 64, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x) {
            gradient.setPixel(x, y, qRgb(x, (x * 3 + y * 4) & 0xff, 255 - x));
        }
    }
    platform::decoders::Decoded byQt;
    byQt.image = gradient.copy();
    byQt.iccProfile = swappedRedGreenProfile();
    platform::decoders::Decoded byLcms = byQt;
    byLcms.image = gradient.copy();
    ASSERT_TRUE(platform::decoders::convertWithQt(byQt));
    ASSERT_TRUE(platform::decoders::convertWithLittleCms(byLcms));
    int worst = 0;
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x) {
            const QRgb a = byQt.image.pixel(x, y);
            const QRgb b = byLcms.image.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    }
    EXPECT_LE(worst, 2);
}

// A photograph's file is read a buffer at a time: what crosses a buffer's end must read as Qt's
// reader reads it, segments skipped across a buffer's end too, and a file cut short still shows
// the rows it has.
TEST(PictureFormats, JpegFilesReadThroughEveryBuffer) {
    QImage noise(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, qRgb((x * 7 + y * 13) & 0xff, (x * y) & 0xff, (x ^ y) & 0xff));
        }
    }
    const QByteArray whole = encoded(noise, "jpeg", 95);
    ASSERT_GT(whole.size(), 3 * 64 * 1024); // several of the reader's buffers
    QBuffer buffer;
    buffer.setData(whole);
    const QImage reference = QImageReader(&buffer, "jpeg").read();
    // Three application segments of 50,000 bytes right after the start, full of end markers
    // that a skip landing anywhere in them would take for the end.
    QByteArray padded = whole.left(2);
    for (int i = 0; i < 3; ++i) {
        padded += QByteArray("\xff\xe9\xc3\x52", 4) + QByteArray("\xff\xd9").repeated(25000);
    }
    padded += whole.mid(2);
    PictureFiles files;
    const struct {
        const char* name;
        QByteArray bytes;
        int rowsToCompare;
    } cases[] = {
        {"entera.jpg", whole, 480},
        {"con-segmento.jpg", padded, 480},
        {"cortada.jpg", whole.left(whole.size() * 3 / 5), 200},
    };
    for (const auto& c : cases) {
        if (c.bytes.isEmpty()) {
            continue; // no encoder for it in this build
        }
        const QImage shown = load(files, QString::fromUtf8(c.name), c.bytes);
        ASSERT_EQ(shown.size(), noise.size()) << c.name;
        int worst = 0;
        for (int y = 0; y < c.rowsToCompare; ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb a = shown.pixel(x, y);
                const QRgb b = reference.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(a) - qRed(b)),
                                  std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            }
        }
        EXPECT_LE(worst, 1) << c.name;
    }
}

} // namespace
