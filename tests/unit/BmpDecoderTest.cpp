// SPDX-License-Identifier: MIT
#include "reading/decoders/BmpDecoder.h"
#include "platform/PlatformError.h"
#include "reading/ImageFileLoader.h"
#include "support/BmpFiles.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <gtest/gtest.h>

using platform::bmp::Outcome;
using testing_support::BmpLayout;
using testing_support::makeBmp;
using testing_support::with16;
using testing_support::with32;

namespace {

constexpr qint64 plenty = qint64(1) << 30;

platform::bmp::Result decodeBytes(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return platform::bmp::decode(buffer, plenty);
}

QImage readWithQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    return reader.read();
}

struct NamedLayout {
    const char* name;
    BmpLayout layout;
};

// How many pixels of our picture differ from what Qt's reader makes of the same bytes.
int differencesFromQt(const QByteArray& bytes, const QImage& ours) {
    const QImage theirs = readWithQt(bytes).convertToFormat(ours.format());
    if (theirs.size() != ours.size()) {
        return -1;
    }
    int differences = 0;
    for (int y = 0; y < theirs.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(theirs.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(ours.constScanLine(y));
        for (int x = 0; x < theirs.width(); ++x) {
            differences += a[x] != b[x];
        }
    }
    return differences;
}

TEST(BmpDecoder, PixelsEqualQtsForEveryLayout) {
    const NamedLayout cases[] = {
        {"1 bit", {1, 0}},
        {"4 bits", {4, 0}},
        {"8 bits", {8, 0}},
        {"8 bits, 20 colours", {8, 0, false, 40, {}, 20}},
        {"8 bits, top-down", {8, 0, true}},
        {"RLE4", {4, 2}},
        {"RLE8", {8, 1}},
        {"RLE8, 7 colours", {8, 1, false, 40, {}, 7}},
        {"16 bits", {16, 0}},
        {"16 bits, top-down", {16, 0, true}},
        {"24 bits", {24, 0}},
        {"24 bits, top-down", {24, 0, true}},
        {"32 bits", {32, 0}},
        {"16 bits, 565 fields", {16, 3, false, 40, {0xf800, 0x07e0, 0x001f, 0}}},
        {"32 bits, fields", {32, 3, false, 40, {0xff0000, 0xff00, 0xff, 0}}},
        {"32 bits, fields and alpha, v5",
         {32, 3, false, 124, {0xff0000, 0xff00, 0xff, 0xff000000}}},
        {"32 bits, BGR fields and alpha, v4, top-down",
         {32, 3, true, 108, {0xff, 0xff00, 0xff0000, 0xff000000}}},
    };
    for (const auto& c : cases) {
        const QByteArray bytes = makeBmp(c.layout, 83, 41);
        const platform::bmp::Result ours = decodeBytes(bytes);
        ASSERT_EQ(ours.outcome, Outcome::Decoded) << c.name << ": " << ours.reason.toStdString();
        EXPECT_EQ(differencesFromQt(bytes, ours.image), 0) << c.name;
    }
}

// Large pictures read from a file are read in two halves at once; the seam must not show, in
// this process nor in the reader's, where the rows go into two memory files split mid-row.
TEST(BmpDecoder, LargeFilesReadInHalvesEqualQts) {
    const NamedLayout cases[] = {
        {"8 bits", {8, 0}},
        {"24 bits", {24, 0}},
        {"24 bits, top-down", {24, 0, true}},
        {"32 bits, fields and alpha, v5",
         {32, 3, false, 124, {0xff0000, 0xff00, 0xff, 0xff000000}}},
    };
    testing_support::PictureFiles files;
    for (const auto& c : cases) {
        const QByteArray bytes = makeBmp(c.layout, 1537, 1501); // 9 MB of pixels, odd halves
        QFile file(files.writeText(QStringLiteral("grande.bmp"), bytes));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const platform::bmp::Result ours = platform::bmp::decode(file, plenty);
        ASSERT_EQ(ours.outcome, Outcome::Decoded) << c.name << ": " << ours.reason.toStdString();
        EXPECT_EQ(differencesFromQt(bytes, ours.image), 0) << c.name;
        const QImage shared = platform::ImageFileLoader().loadPicture(file.fileName()).pixels();
        EXPECT_EQ(differencesFromQt(bytes, shared), 0) << c.name << ", in the reader";
    }
}

TEST(BmpDecoder, ReadsMasksFromEveryHeaderSize) {
    // Qt reads no 52- or 56-byte headers: the same fields in a 40-byte header are the reference.
    const std::array<std::uint32_t, 4> masks{0x0f00, 0x00f0, 0x000f, 0};
    const QImage reference = decodeBytes(makeBmp({16, 3, false, 40, masks}, 30, 20)).image;
    for (int infoSize : {52, 56, 108, 124}) {
        const platform::bmp::Result result =
            decodeBytes(makeBmp({16, 3, false, infoSize, masks}, 30, 20));
        ASSERT_EQ(result.outcome, Outcome::Decoded) << infoSize;
        EXPECT_EQ(result.image, reference) << infoSize;
    }
    EXPECT_EQ(reference.pixel(3, 2),
              readWithQt(makeBmp({16, 3, false, 40, masks}, 30, 20)).pixel(3, 2));
}

TEST(BmpDecoder, RunLengthJumpsAndEarlyEndsLeaveColourZero) {
    // 4 × 3, three colours; bottom row: two of colour 1, then a jump one right and one up, one
    // pixel of colour 2, end of line, end of bitmap.
    QByteArray bytes = makeBmp({8, 1, false, 40, {}, 3}, 4, 3);
    const int pixels = testing_support::bmpParts(bytes).pixelOffset;
    bytes = bytes.left(pixels);
    bytes.append(QByteArray("\x02\x01\x00\x02\x01\x01\x01\x02\x00\x00\x00\x01", 12));
    const platform::bmp::Result result = decodeBytes(bytes);
    ASSERT_EQ(result.outcome, Outcome::Decoded) << result.reason.toStdString();
    const QImage& image = result.image;
    const QRgb c0 = image.pixel(0, 0); // the top row is all colour 0
    const QRgb c1 = image.pixel(0, 2);
    const QRgb c2 = image.pixel(3, 1);
    EXPECT_NE(c0, c1);
    EXPECT_NE(c0, c2);
    const QRgb expected[3][4] = {{c0, c0, c0, c0}, {c0, c0, c0, c2}, {c1, c1, c0, c0}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(image.pixel(x, y), expected[y][x]) << x << "," << y;
        }
    }
}

TEST(BmpDecoder, ProducesReadyToDrawPixels) {
    EXPECT_EQ(decodeBytes(makeBmp({8, 0}, 9, 9)).image.format(), QImage::Format_RGB32);
    EXPECT_EQ(decodeBytes(makeBmp({32, 3, false, 124, {0xff0000, 0xff00, 0xff, 0xff000000}}, 9, 9))
                  .image.format(),
              QImage::Format_ARGB32_Premultiplied);
}

TEST(BmpDecoder, RefusesDamagedAndLyingFiles) {
    const QByteArray good = makeBmp({8, 0}, 40, 30);
    const QByteArray rle = makeBmp({8, 1}, 40, 30);
    const QByteArray fields = makeBmp({32, 3, false, 40, {0xff0000, 0xff00, 0xff, 0}}, 8, 8);
    const int pixels = testing_support::bmpParts(good).pixelOffset;
    const int rlePixels = testing_support::bmpParts(rle).pixelOffset;
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"signature only", good.left(2)},
        {"cut in the file header", good.left(10)},
        {"cut after the file header", good.left(14)},
        {"cut in the info header", good.left(30)},
        {"cut after the info header", good.left(54)},
        {"cut in the colour table", good.left(54 + 100)},
        {"cut in the pixels", good.left(good.size() - 1)},
        {"width 0", with32(good, 18, 0)},
        {"negative width", with32(good, 18, quint32(-40))},
        {"height 0", with32(good, 22, 0)},
        {"100000 × 100000", with32(with32(good, 18, 100000), 22, 100000)},
        {"planes 2", with16(good, 26, 2)},
        {"0 bits", with16(good, 28, 0)},
        {"3 bits", with16(good, 28, 3)},
        {"7 bits", with16(good, 28, 7)},
        {"64 bits", with16(good, 28, 64)},
        {"pixels past the end", with32(good, 10, quint32(good.size() + 10))},
        {"pixels inside the colour table", with32(good, 10, 60)},
        {"300 colours", with32(good, 46, 300)},
        {"unknown header size", with32(good, 14, 77)},
        {"RLE8 with 24 bits", with16(with32(good, 30, 1), 28, 24)},
        {"RLE top-down", with32(rle, 22, quint32(-30))},
        {"RLE run past the row",
         [&] {
             QByteArray b = rle;
             b[rlePixels] = char(200);
             return b;
         }()},
        {"RLE jump past the picture",
         [&] {
             QByteArray b = rle.left(rlePixels);
             b.append(QByteArray("\x00\x02\x05\x40\x00\x01", 6));
             return with32(b, 2, quint32(b.size()));
         }()},
        {"RLE without its end", rle.left(rlePixels + 40)},
        {"overlapping bit fields", with32(fields, 58, 0xffff00)},
        {"zero bit field", with32(fields, 54, 0)},
        {"bit field outside 16 bits", with32(with16(fields, 28, 16), 54, 0xff0000)},
    };
    for (const auto& c : cases) {
        const platform::bmp::Result result = decodeBytes(c.bytes);
        EXPECT_EQ(result.outcome, Outcome::Malformed) << c.name;
        EXPECT_FALSE(result.reason.isEmpty()) << c.name;
        EXPECT_TRUE(result.image.isNull()) << c.name;
    }
    EXPECT_EQ(pixels, 54 + 1024);
}

TEST(BmpDecoder, LeavesOtherLayoutsToQt) {
    QByteArray os2 = makeBmp({24, 0}, 4, 4);
    os2 = with32(os2, 14, 12);
    EXPECT_EQ(decodeBytes(os2).outcome, Outcome::NotHandled);
    EXPECT_EQ(decodeBytes(QByteArray("GIF89a")).outcome, Outcome::NotHandled);
    EXPECT_EQ(decodeBytes(QByteArray()).outcome, Outcome::NotHandled);
}

TEST(BmpDecoder, RefusesPicturesLargerThanTheBoundBeforeAllocating) {
    QBuffer buffer;
    buffer.setData(makeBmp({24, 0}, 100, 100));
    buffer.open(QIODevice::ReadOnly);
    EXPECT_EQ(platform::bmp::decode(buffer, 100 * 100 * 4 - 1).outcome, Outcome::Malformed);
}

TEST(BmpDecoder, LoaderReportsADamagedBitmapWithTheReason) {
    testing_support::PictureFiles files;
    const QString path =
        files.writeText(QStringLiteral("dañada.bmp"), makeBmp({24, 0}, 30, 30).left(500));
    platform::ImageFileLoader loader;
    try {
        loader.loadPicture(path);
        FAIL() << "a damaged bitmap loaded";
    } catch (const platform::PlatformError& error) {
        EXPECT_EQ(error.number(), platform::ErrorNumber::InvalidPicture);
        EXPECT_TRUE(error.description().contains(QStringLiteral("termina antes")));
    }
}

} // namespace
