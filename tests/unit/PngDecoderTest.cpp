// SPDX-License-Identifier: MIT
// Our PNG reader shows every kind of PNG exactly as Qt's reader does (the pixels, the colours of
// its colour chunks), and refuses damaged files with a reason.

#include "reading/decoders/png/PngDecoder.h"
#include "reading/decoders/PictureFinish.h"
#include "reading/decoders/QtImageDecoder.h"
#include "reading/decoders/png/PngRows.h"
#include "support/PictureEncoders.h"
#include "support/PngFiles.h"
#include "support/ReaderChecks.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

using namespace testing_support;
using platform::decoders::DecodeFailure;

namespace {

QByteArray key16(int grey) {
    return QByteArray(1, char(grey >> 8)) + char(grey & 0xff);
}

TEST(PngReader, EveryKindShowsQtsPixels) {
    const QByteArray p3 = displayP3Profile();
    const QByteArray gamma = QByteArray("\x00\x00\xb1\x8f", 4); // 1 / 2.2
    const QByteArray chromaticities = QByteArray::fromHex(
        "00007a26000080840000fa00000080e8000052080001155800003a9800001770"); // wide green
    const struct {
        const char* name;
        PngLayout layout;
        // Qt's reader writes 16-bit RGB with a transparent colour over the wrong pixels: this
        // one is compared with Qt's pixels without it, every fifth made transparent.
        bool qtMisreads = false;
    } cases[] = {
        {"grey 1", {.bitDepth = 1, .colourType = 0}},
        {"grey 1 tRNS", {.bitDepth = 1, .colourType = 0, .transparency = key16(1)}},
        {"grey 2 interlaced", {.bitDepth = 2, .colourType = 0, .interlaced = true}},
        {"grey 4 tRNS", {.bitDepth = 4, .colourType = 0, .transparency = key16(9)}},
        {"grey 8", {.bitDepth = 8, .colourType = 0}},
        {"grey 8 tRNS", {.bitDepth = 8, .colourType = 0, .transparency = key16(77)}},
        {"grey 16", {.bitDepth = 16, .colourType = 0}},
        {"grey 16 tRNS interlaced",
         {.bitDepth = 16, .colourType = 0, .interlaced = true, .transparency = key16(4000)}},
        {"grey alpha 8", {.bitDepth = 8, .colourType = 4}},
        {"grey alpha 16 interlaced", {.bitDepth = 16, .colourType = 4, .interlaced = true}},
        {"RGB 8", {.bitDepth = 8, .colourType = 2}},
        {"RGB 8 tRNS", {.colourType = 2, .transparency = key16(10) + key16(20) + key16(30)}},
        {"RGB 8 interlaced", {.bitDepth = 8, .colourType = 2, .interlaced = true}},
        {"RGB 16", {.bitDepth = 16, .colourType = 2}},
        {"RGB 16 tRNS",
         {.bitDepth = 16, .colourType = 2, .transparency = key16(1000) + key16(2) + key16(3)},
         true},
        {"RGBA 8", {.bitDepth = 8, .colourType = 6}},
        {"RGBA 8 interlaced 1x1", {.width = 1, .height = 1, .colourType = 6, .interlaced = true}},
        {"RGBA 16", {.bitDepth = 16, .colourType = 6}},
        {"palette 1", {.bitDepth = 1, .colourType = 3}},
        {"palette 2 tRNS", {.bitDepth = 2, .colourType = 3, .transparency = "\x10\x80"}},
        {"palette 4 interlaced", {.bitDepth = 4, .colourType = 3, .interlaced = true}},
        {"palette 8, indices past its end",
         {.bitDepth = 8,
          .colourType = 3,
          .paletteEntries = 200,
          .transparency = QByteArray("\x00\x7f", 2)}},
        {"gAMA", {.chunks = {{"gAMA", gamma}}}},
        {"gAMA cHRM", {.chunks = {{"gAMA", gamma}, {"cHRM", chromaticities}}}},
        {"sRGB over gAMA", {.chunks = {{"sRGB", QByteArray(1, '\0')}, {"gAMA", gamma}}}},
        {"iCCP over sRGB", {.chunks = {{"iCCP", iccpData(p3)}, {"sRGB", QByteArray(1, '\0')}}}},
        {"iCCP grey", {.bitDepth = 8, .colourType = 0, .chunks = {{"iCCP", iccpData(p3)}}}},
        {"cICP over iCCP", {.chunks = {{"iCCP", iccpData(p3)}, {"cICP", "\x0c\x0d\x00\x01"}}}},
        // Pictures large enough to be finished on two threads.
        {"RGB 8 large", {.width = 1500, .height = 700, .colourType = 2, .level = 1}},
        {"RGBA 8 large", {.width = 1200, .height = 600, .colourType = 6, .level = 1}},
        {"grey 16 large",
         {.width = 1600, .height = 800, .bitDepth = 16, .colourType = 0, .level = 1}},
        {"grey 4 large, odd width",
         {.width = 4001, .height = 1050, .bitDepth = 4, .colourType = 0, .level = 1}},
    };
    PictureFiles files;
    const platform::decoders::PngDecoder ours;
    const platform::decoders::QtImageDecoder qts("png");
    for (const auto& c : cases) {
        const QByteArray png = makePng(c.layout);
        const QString path = files.writeText(QStringLiteral("caso.png"), png);
        QImage expected =
            c.qtMisreads ? shownBy(qts, files.writeText(QStringLiteral("sin.png"),
                                                        QByteArray(png).replace("tRNS", "tRNx")))
                         : shownBy(qts, path);
        for (int y = 0; c.qtMisreads && y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); x += 5) {
                expected.setPixel(x, y, 0);
            }
        }
        QImage actual;
        try {
            actual = shownBy(ours, path);
        } catch (const DecodeFailure& failure) {
            ADD_FAILURE() << c.name << ": " << failure.reason().toStdString();
            continue;
        }
        ASSERT_EQ(actual.size(), expected.size()) << c.name;
        int differing = 0;
        QPoint first;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                if (actual.pixel(x, y) != expected.pixel(x, y) && differing++ == 0) {
                    first = QPoint(x, y);
                }
            }
        }
        EXPECT_EQ(differing, 0) << c.name << ": first at " << first.x() << "," << first.y() << ": "
                                << std::hex << actual.pixel(first) << " instead of "
                                << expected.pixel(first);
    }
}

TEST(PngReader, DamagedFilesGiveTheirReason) {
    const QByteArray good = makePng({});
    QByteArray badCrc = good;
    badCrc[33 + 20] = char(badCrc[33 + 20] ^ 1);  // inside the first IDAT
    QByteArray badFilter = makePng({.level = 0}); // stored: the first row's filter byte is
    badFilter[33 + 8 + 2 + 5] = 9;                // after zlib's and the block's headers
    badFilter.replace(33 + 8 + 1000, 4, pngChunk("IDAT", badFilter.mid(33 + 8, 1000)).right(4));
    QByteArray huge = good;
    huge.replace(16, 8, QByteArray::fromHex("000186a0000186a0")); // 100000 × 100000
    huge.replace(29, 4, pngChunk("IHDR", huge.mid(16, 13)).right(4));
    expectRefusals(platform::decoders::PngDecoder(),
                   {
                       {"CRC", badCrc, "la suma de control de un bloque no coincide"},
                       {"cut in the data", good.left(good.size() / 2), "termina"},
                       {"filter", badFilter, "filtro 9"},
                       {"too large", huge, "es demasiado grande"},
                       {"no header", good.left(8) + good.mid(33), "falta la cabecera"},
                   });
}

// The filters as the format defines them, a byte at a time: what the fast ways must equal.
uchar predicted(int filter, int left, int up, int upperLeft) {
    const int estimate = left + up - upperLeft;
    const int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up),
              toUpperLeft = std::abs(estimate - upperLeft);
    switch (filter) {
    case 1:
        return uchar(left);
    case 2:
        return uchar(up);
    case 3:
        return uchar((left + up) / 2);
    default:
        return uchar(toLeft <= toUp && toLeft <= toUpperLeft ? left
                     : toUp <= toUpperLeft                   ? up
                                                             : upperLeft);
    }
}

TEST(PngReader, EveryFilterUndoneAsDefinedForEveryPixelSize) {
    QRandomGenerator random(5);
    for (const int step : {1, 2, 3, 4, 6, 8}) {
        for (int filter = 1; filter <= 4; ++filter) {
            const qsizetype bytes = step * 67;
            std::vector<uchar> prior(size_t(bytes), 0), row(size_t(bytes), 0);
            for (qsizetype i = 0; i < bytes; ++i) { // extremes, where the predictors tie
                prior[size_t(i)] = uchar(i % 7 == 0 ? 255 * (i % 2) : random.bounded(256));
                row[size_t(i)] = uchar(random.bounded(256));
            }
            std::vector<uchar> expected = row;
            for (qsizetype i = 0; i < bytes; ++i) {
                const int left = i >= step ? expected[size_t(i - step)] : 0;
                const int upperLeft = i >= step ? prior[size_t(i - step)] : 0;
                expected[size_t(i)] = uchar(expected[size_t(i)] +
                                            predicted(filter, left, prior[size_t(i)], upperLeft));
            }
            std::vector<uchar> inParts = row;
            platform::decoders::png::unfilterRow(filter, row.data(), prior.data(), bytes, step);
            EXPECT_EQ(row, expected) << "filter " << filter << ", " << step << " bytes a pixel";
            const qsizetype half = step * 30; // the second part goes on from the first
            platform::decoders::png::unfilterRow(filter, inParts.data(), prior.data(), half, step);
            platform::decoders::png::unfilterRow(filter, inParts.data() + half, prior.data() + half,
                                                 bytes - half, step, true);
            EXPECT_EQ(inParts, expected) << "in two parts: filter " << filter << ", " << step;
        }
    }
}

} // namespace
