// SPDX-License-Identifier: MIT
// The frame readers compose each format's animations as the browsers do: every frame is checked
// against a canvas written out by hand, from files made with the tools people make them with
// (tests/data/animations/make-animations.py).

#include "reading/decoders/FrameReader.h"
#include "reading/decoders/PictureFinish.h"
#include "support/BmpFiles.h"
#include "support/PictureEncoders.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using platform::decoders::AnimationFrame;
using platform::decoders::DecodeContext;
using platform::decoders::DecodeFailure;
using platform::decoders::FrameReader;
using platform::decoders::openAnimation;
using testing_support::PictureFiles;

namespace {

const QString animations = QStringLiteral(KELMO_TEST_DATA "/animations/");

struct Paint {
    char colour; // R, G, B, W; anything else is transparent
    int x, y, width, height;
};
struct ExpectedFrame {
    int delayMs;
    std::vector<Paint> paints; // over a transparent canvas, in order
};
struct AnimationCase {
    const char* file;
    QSize canvas;
    int plays;
    std::vector<ExpectedFrame> frames;
};

QRgb colourOf(char letter) {
    switch (letter) {
    case 'R':
        return qRgb(255, 0, 0);
    case 'G':
        return qRgb(0, 255, 0);
    case 'B':
        return qRgb(0, 0, 255);
    case 'W':
        return qRgb(255, 255, 255);
    default:
        return 0;
    }
}

QImage painted(QSize size, const std::vector<Paint>& paints) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(0);
    for (const Paint& p : paints) {
        for (int y = p.y; y < p.y + p.height; ++y) {
            for (int x = p.x; x < p.x + p.width; ++x) {
                image.setPixel(x, y, colourOf(p.colour));
            }
        }
    }
    return image;
}

// Any fully transparent pixel is the same transparent pixel.
QRgb seen(QRgb pixel) {
    return qAlpha(pixel) == 0 ? 0 : pixel;
}

std::unique_ptr<FrameReader> opened(QFile& file, qint64 maxBytes = qint64(1) << 30) {
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << file.fileName().toStdString() << " cannot be opened";
        return nullptr;
    }
    return openAnimation(file, DecodeContext{maxBytes});
}

// Where libavif is not built, libheif reads AVIF: a sequence as its first picture.
bool readsAsAnimation(const char* file) {
    return testing_support::libavifBuilt() || !QByteArray(file).endsWith(".avif");
}

void expectFrames(const AnimationCase& c) {
    SCOPED_TRACE(c.file);
    QFile file(animations + QLatin1String(c.file));
    const std::unique_ptr<FrameReader> reader = opened(file);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(QSize(reader->info().width, reader->info().height), c.canvas);
    // The player may ask how many times to play at any frame.
    EXPECT_EQ(reader->info().plays, c.plays);
    std::vector<AnimationFrame> frames;
    while (std::optional<AnimationFrame> frame = reader->next()) {
        frames.push_back(std::move(*frame));
        EXPECT_EQ(reader->info().plays, c.plays) << "after frame " << frames.size();
    }
    ASSERT_EQ(frames.size(), c.frames.size());
    for (size_t n = 0; n < frames.size(); ++n) {
        SCOPED_TRACE(testing::Message() << "frame " << n);
        const QImage expected = painted(c.canvas, c.frames[n].paints);
        const QImage& actual = frames[n].canvas;
        EXPECT_EQ(frames[n].delayMs, c.frames[n].delayMs);
        ASSERT_EQ(actual.size(), c.canvas);
        for (int y = 0; y < c.canvas.height(); ++y) {
            for (int x = 0; x < c.canvas.width(); ++x) {
                ASSERT_EQ(seen(actual.pixel(x, y)), expected.pixel(x, y)) << "at " << x << "," << y;
            }
        }
    }
}

TEST(AnimationReaders, FramesAreComposedAsTheBrowsersCompose) {
    const std::vector<Paint> red = {{'R', 0, 0, 4, 4}};
    const AnimationCase cases[] = {
        {"gif-keep.gif", {4, 4}, 0, {{100, red}, {100, {{'R', 0, 0, 4, 4}, {'B', 1, 1, 2, 2}}}}},
        {"gif-late-loop.gif",
         {4, 4},
         0,
         {{100, red}, {100, {{'R', 0, 0, 4, 4}, {'B', 1, 1, 2, 2}}}}},
        // The screen's background colour is green: disposal clears to transparent all the same.
        {"gif-background.gif",
         {4, 4},
         1,
         {{100, red},
          {100, {{'R', 0, 0, 4, 4}, {'G', 0, 0, 2, 2}}},
          {100, {{'R', 0, 0, 4, 4}, {'-', 0, 0, 2, 2}, {'B', 3, 3, 1, 1}}}}},
        {"gif-previous.gif",
         {4, 4},
         4,
         {{100, red},
          {100, {{'R', 0, 0, 4, 4}, {'G', 2, 2, 2, 2}}},
          {100, {{'R', 0, 0, 4, 4}, {'B', 0, 0, 1, 1}}}}},
        // Restoring before the first frame, and disposal 4, leave the canvas transparent.
        {"gif-previous-first.gif",
         {4, 4},
         1,
         {{100, {{'G', 0, 0, 2, 2}}}, {100, {{'B', 3, 3, 1, 1}}}, {100, {{'R', 0, 3, 1, 1}}}}},
        {"gif-transparent.gif",
         {4, 4},
         1,
         {{100, red}, {100, {{'R', 0, 0, 4, 4}, {'W', 0, 0, 2, 4}}}}},
        // Hundredths: 0 and 1 show for 100 ms, 2 for 20 ms.
        {"gif-delays.gif",
         {4, 4},
         2,
         {{100, red},
          {100, {{'G', 0, 0, 4, 4}}},
          {20, {{'B', 0, 0, 4, 4}}},
          {50, {{'W', 0, 0, 4, 4}}}}},
        // A first frame larger than the screen grows the canvas; a later one is cut to it.
        {"gif-larger.gif",
         {6, 5},
         1,
         {{100, {{'G', 0, 0, 6, 5}}}, {100, {{'G', 0, 0, 6, 5}, {'B', 4, 3, 2, 2}}}}},
        {"gif-interlaced.gif",
         {2, 8},
         1,
         {{100,
           {{'R', 0, 0, 2, 1},
            {'G', 0, 1, 2, 1},
            {'B', 0, 2, 2, 1},
            {'W', 0, 3, 2, 1},
            {'R', 0, 4, 2, 1},
            {'G', 0, 5, 2, 1},
            {'B', 0, 6, 2, 1},
            {'W', 0, 7, 2, 1}}},
          {100,
           {{'R', 0, 0, 2, 1},
            {'G', 0, 1, 2, 1},
            {'B', 0, 2, 2, 1},
            {'W', 0, 3, 2, 1},
            {'R', 0, 4, 2, 1},
            {'G', 0, 5, 2, 1},
            {'B', 0, 6, 2, 1},
            {'W', 0, 7, 2, 1},
            {'B', 0, 0, 1, 1}}}}},
        // Blend over, dispose to transparent (not to the file's opaque white background), a
        // frame put without blending; 10 ms or less shows for 100 ms.
        {"webp-dispose-blend.webp",
         {8, 8},
         3,
         {{100, {{'R', 0, 0, 8, 8}}},
          {20, {{'R', 0, 0, 8, 8}, {'G', 2, 2, 2, 4}}},
          {100, {{'R', 0, 0, 8, 8}, {'-', 2, 2, 4, 4}, {'B', 0, 0, 2, 2}}},
          {100,
           {{'R', 0, 0, 8, 8},
            {'-', 2, 2, 4, 4},
            {'B', 0, 0, 2, 2},
            {'W', 4, 4, 2, 4},
            {'-', 6, 4, 2, 4}}}}},
        {"webp-forever.webp",
         {2, 2},
         0,
         {{40, {{'R', 0, 0, 2, 2}}}, {40, {{'R', 0, 0, 2, 2}, {'B', 0, 0, 2, 1}}}}},
        // Delays of 1/10, 2/100, 5/0 (hundredths) and 1/1000 s.
        {"apng-dispose-blend.png",
         {4, 4},
         3,
         {{100, {{'R', 0, 0, 4, 4}}},
          {20, {{'R', 0, 0, 4, 4}, {'G', 1, 1, 2, 1}}},
          {50, {{'R', 0, 0, 4, 4}, {'-', 1, 1, 2, 2}, {'B', 0, 0, 1, 1}}},
          {100, {{'R', 0, 0, 4, 4}, {'-', 1, 1, 2, 2}, {'W', 0, 3, 2, 1}, {'-', 2, 3, 2, 1}}}}},
        {"apng-hidden-default.png",
         {4, 4},
         0,
         {{100, {{'R', 0, 0, 4, 4}}}, {100, {{'B', 3, 3, 1, 1}}}}},
        // apngasm's own choice of kinds, its first picture hidden.
        {"apng-apngasm.png",
         {3, 3},
         2,
         {{20, {{'R', 0, 0, 3, 3}, {'B', 1, 1, 1, 1}}},
          {20, {{'G', 0, 0, 3, 1}}},
          {20, {{'G', 0, 0, 3, 1}, {'W', 2, 2, 1, 1}}}}},
        // From animated PNGs by cjxl: libjxl composes the frames; it writes no loop count.
        {"jxl-frames.jxl",
         {3, 3},
         0,
         {{20, {{'R', 0, 0, 3, 3}}},
          {20, {{'R', 0, 0, 3, 3}, {'B', 1, 1, 1, 1}}},
          {20, {{'G', 0, 0, 3, 1}}},
          {20, {{'G', 0, 0, 3, 1}, {'W', 2, 2, 1, 1}}}}},
        {"jxl-delays.jxl",
         {2, 2},
         0,
         {{100, {{'R', 0, 0, 2, 2}}},
          {20, {{'G', 0, 0, 2, 2}}},
          {50, {{'B', 0, 0, 2, 2}}},
          {100, {{'W', 0, 0, 2, 2}}}}},
        // Each frame whole; no repetition count in this libavif: for ever.
        {"avif-frames.avif",
         {4, 4},
         0,
         {{20, {{'R', 0, 0, 4, 4}}},
          {100, {{'G', 0, 0, 2, 4}}},
          {50, {{'B', 0, 0, 4, 4}, {'W', 1, 1, 2, 2}}}}},
    };
    for (const AnimationCase& c : cases) {
        if (readsAsAnimation(c.file)) {
            expectFrames(c);
        }
    }
}

// A damaged animation gives the frames before the damage, then its reason; a picture of one
// frame, or none at all, is no animation.
TEST(AnimationReaders, DamagedStillAndOversizedFiles) {
    PictureFiles files;
    struct Cut {
        const char* file;
        int cut;    // bytes taken off its end
        bool zeros; // put back as zeros: the file's boxes stand, its last frame is damaged
        size_t framesBefore;
    } cuts[] = {
        {"gif-background.gif", 4, false, 2},      {"webp-dispose-blend.webp", 10, false, 3},
        {"apng-dispose-blend.png", 20, false, 3}, {"jxl-frames.jxl", 12, false, 3},
        {"avif-frames.avif", 60, true, 2},        {"apng-outside.png", 0, false, 1},
    };
    for (const Cut& c : cuts) {
        if (!readsAsAnimation(c.file)) {
            continue;
        }
        SCOPED_TRACE(c.file);
        QFile whole(animations + QLatin1String(c.file));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        QByteArray bytes = whole.readAll();
        bytes.resize(bytes.size() - c.cut);
        if (c.zeros) {
            bytes.append(c.cut, '\0');
        }
        QFile file(files.writeText(QStringLiteral("cortada"), bytes));
        const std::unique_ptr<FrameReader> reader = opened(file);
        ASSERT_NE(reader, nullptr);
        for (size_t n = 0; n < c.framesBefore; ++n) {
            EXPECT_TRUE(reader->next().has_value());
        }
        EXPECT_THROW(reader->next(), DecodeFailure);
    }
    for (const QString& still :
         {QStringLiteral(KELMO_TEST_DATA "/degradado.gif"),
          files.writeText(QStringLiteral("quieta.gif"), testing_support::makeGif(7, 5)),
          files.writeText(QStringLiteral("texto.gif"), "no soy un gif"),
          files.write(QStringLiteral("quieta.png"), 5, 3, "png"),
          files.writeText(QStringLiteral("quieta.avif"),
                          testing_support::encodeAvif(testing_support::patternImage(6, 4))),
          files.writeText(QStringLiteral("quieta.jxl"),
                          testing_support::encodeJxl(testing_support::patternImage(6, 4))),
          files.writeText(QStringLiteral("quieta.webp"),
                          testing_support::encoded(testing_support::patternImage(9, 7), "webp"))}) {
        QFile file(still);
        EXPECT_EQ(opened(file), nullptr) << still.toStdString();
    }
    // A canvas of 10,000 × 10,000 is refused before anything is made for it.
    struct Field {
        qsizetype at;
        int bytes; // little-endian
        int value;
    };
    struct Bomb {
        const char* file;
        std::vector<Field> canvas;
    } bombs[] = {
        {"gif-keep.gif", {{6, 2, 10000}, {8, 2, 10000}}},
        {"webp-dispose-blend.webp", {{24, 3, 9999}, {27, 3, 9999}}}, // the size less one
        {"apng-bomb.png", {}},
    };
    for (const Bomb& b : bombs) {
        SCOPED_TRACE(b.file);
        QFile whole(animations + QLatin1String(b.file));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        QByteArray bytes = whole.readAll();
        for (const Field& field : b.canvas) {
            for (int i = 0; i < field.bytes; ++i) {
                bytes[field.at + i] = char((field.value >> (8 * i)) & 0xff);
            }
        }
        QFile file(files.writeText(QStringLiteral("bomba"), bytes));
        EXPECT_THROW(opened(file, qint64(256) << 20), DecodeFailure);
    }
}

} // namespace
