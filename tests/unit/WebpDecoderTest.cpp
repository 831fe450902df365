// SPDX-License-Identifier: MIT
// Our WebP reader shows what Qt's reader showed (lossy, lossless, alpha, an ICC profile), the
// first frame of an animation on its canvas, and refuses damaged files with a reason.

#include "reading/decoders/webp/WebpDecoder.h"
#include "reading/decoders/PictureFinish.h"
#include "reading/decoders/QtImageDecoder.h"
#include "support/PictureEncoders.h"
#include "support/ReaderChecks.h"
#include "support/TestSupport.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <gtest/gtest.h>

using namespace testing_support;
using platform::decoders::DecodeFailure;

namespace {

QImage translucent(int width, int height) {
    QImage image = patternImage(width, height).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), (x * 37 + y * 11) & 0xff));
        }
    }
    return image;
}

TEST(WebpReader, ShowsQtsPixels) {
    if (!QImageReader::supportedImageFormats().contains("webp")) {
        GTEST_SKIP() << "this Qt has no WebP reader to compare with";
    }
    QImage tagged = patternImage(40, 24);
    tagged.setColorSpace(QColorSpace::fromIccProfile(displayP3Profile()));
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"lossy", encoded(patternImage(61, 37), "webp", 80)},
        {"lossless", encoded(patternImage(61, 37), "webp", 100)},
        {"lossy with alpha", encoded(translucent(33, 20), "webp", 75)},
        {"lossless with alpha", encoded(translucent(33, 20), "webp", 100)},
        {"ICC profile", encoded(tagged, "webp", 100)},
        {"large, lossy", encoded(patternImage(900, 700), "webp", 90)},
    };
    PictureFiles files;
    const platform::decoders::WebpDecoder ours;
    const platform::decoders::QtImageDecoder qts("webp");
    for (const auto& c : cases) {
        const QString path = files.writeText(QStringLiteral("caso.webp"), c.bytes);
        const QImage expected = shownBy(qts, path);
        const QImage actual = shownBy(ours, path);
        ASSERT_EQ(actual.size(), expected.size()) << c.name;
        EXPECT_EQ(actual, expected) << c.name;
    }
}

TEST(WebpReader, AnimationShowsItsFirstFrameOnTheCanvas) {
    PictureFiles files;
    const QImage frame = patternImage(10, 6);
    const QImage shownFrames = shownBy(
        platform::decoders::WebpDecoder(),
        files.writeText(QStringLiteral("animada.webp"), webpAnimation(frame, 4, 2, 20, 12)));
    ASSERT_EQ(shownFrames.size(), QSize(20, 12));
    EXPECT_EQ(shownFrames.pixel(0, 0), 0u);
    EXPECT_EQ(shownFrames.pixel(19, 11), 0u);
    for (const QPoint p : {QPoint(0, 0), QPoint(9, 5), QPoint(3, 2)}) {
        EXPECT_EQ(shownFrames.pixel(p + QPoint(4, 2)), frame.pixel(p));
    }
}

TEST(WebpReader, DamagedFilesGiveTheirReason) {
    const QByteArray good = encoded(patternImage(61, 37), "webp", 80);
    QByteArray garbled = good;
    for (qsizetype i = 40; i < garbled.size(); i += 3) {
        garbled[i] = char(garbled[i] ^ 0x5a);
    }
    expectRefusals(platform::decoders::WebpDecoder(),
                   {
                       {"cut", good.left(good.size() / 2), "WebP está dañado"},
                       {"garbled", garbled, "WebP está dañado"},
                       {"header only", good.left(20), "termina antes de tiempo"},
                   });
}

} // namespace
