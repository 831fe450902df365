// SPDX-License-Identifier: MIT
#include "platform/ReducedLevels.h"
#include "platform/PictureDrawing.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <QThreadPool>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

using platform::Picture;
using platform::ReducedLevels;

namespace {

QImage checkerboard(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    return image;
}

QImage drawn(const Picture& picture, QSize view) {
    QImage canvas(view, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    QPainter painter(&canvas);
    platform::drawPicture(painter, picture, QRectF(QPointF(0, 0), QSizeF(view)),
                          QRectF(QPointF(0, 0), QSizeF(view)));
    return canvas;
}

double grayDeviation(const QImage& image) {
    double sum = 0;
    double squares = 0;
    const double n = double(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double g = qGray(image.pixel(x, y));
            sum += g;
            squares += g * g;
        }
    }
    return std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
}

TEST(ReducedLevels, HalvingAveragesEachTwoByTwoBlock) {
    QImage image(3, 2, QImage::Format_RGB32);
    const QRgb pixels[2][3] = {{qRgb(0, 0, 0), qRgb(100, 200, 40), qRgb(10, 20, 30)},
                               {qRgb(4, 8, 12), qRgb(100, 0, 41), qRgb(30, 40, 50)}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            image.setPixel(x, y, pixels[y][x]);
        }
    }
    const QImage half = ReducedLevels::halve(image);
    ASSERT_EQ(half.size(), QSize(2, 1));
    EXPECT_EQ(half.pixel(0, 0), qRgb(51, 52, 23)); // (0+100+4+100)/4 rounded, and so on
    EXPECT_EQ(half.pixel(1, 0), qRgb(20, 30, 40)); // the odd column repeats itself
}

TEST(ReducedLevels, LevelsHalveUntilOnePixelAndCostAThirdMore) {
    ReducedLevels levels(QImage(1000, 600, QImage::Format_RGB32));
    EXPECT_EQ(levels.deepest(), 10);
    EXPECT_EQ(levels.level(1).size(), QSize(500, 300));
    EXPECT_EQ(levels.level(3).size(), QSize(125, 75));
    EXPECT_EQ(levels.level(10).size(), QSize(1, 1));
    EXPECT_EQ(levels.level(99).size(), QSize(1, 1));
    qint64 extra = 0;
    for (int k = 1; k <= levels.deepest(); ++k) {
        extra += levels.level(k).sizeInBytes();
    }
    EXPECT_LE(double(extra), 0.34 * 1000 * 600 * 4);
}

TEST(ReducedLevels, LevelForScale) {
    const struct {
        double scale;
        int level;
    } cases[] = {{1.0, 0}, {0.6, 0}, {0.5, 1}, {1.0 / 3, 1}, {0.25, 2}, {0.2, 2}, {0.1, 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(platform::levelForScale(c.scale), c.level) << c.scale;
    }
}

TEST(ReducedLevels, BuildInTheBackgroundWithoutBlockingTheDrawing) {
    const Picture board(checkerboard(800, 600));
    QImage canvas(100, 75, QImage::Format_RGB32);
    std::atomic<bool> sharper = false;
    {
        QPainter painter(&canvas);
        platform::drawPicture(painter, board, QRectF(0, 0, 100, 75), QRectF(0, 0, 100, 75),
                              [&] { sharper = true; });
    }
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_TRUE(sharper);
    EXPECT_EQ(board.levels().built(), 3); // 1/8 is the level for a reduction by 8
    {
        QPainter painter(&canvas);
        platform::drawPicture(painter, board, QRectF(0, 0, 100, 75), QRectF(0, 0, 100, 75),
                              [&] { FAIL() << "nothing left to build"; });
    }
    EXPECT_LE(grayDeviation(canvas), 4.0);
}

TEST(ReducedLevels, AreSharedByEveryCutOfAPicture) {
    const Picture whole(checkerboard(64, 64));
    const Picture cut = whole.cut(8, 8, 16, 16);
    EXPECT_EQ(&cut.levels(), &whole.levels());
}

TEST(PictureDrawing, CheckerboardReducedThreeTimesShowsAnEvenGray) {
    const Picture board(checkerboard(600, 450));
    const QImage view = drawn(board, QSize(200, 150));
    EXPECT_LE(grayDeviation(view), 4.0);
    EXPECT_NEAR(qGray(view.pixel(100, 75)), 128, 3);
}

TEST(PictureDrawing, EnlargedPicturesKeepSharpPixelsAndOnlyTheClipIsDrawn) {
    QImage two(2, 2, QImage::Format_RGB32);
    two.setPixel(0, 0, qRgb(255, 0, 0));
    two.setPixel(1, 0, qRgb(0, 255, 0));
    two.setPixel(0, 1, qRgb(0, 0, 255));
    two.setPixel(1, 1, qRgb(255, 255, 255));
    const QImage view = drawn(Picture(two), QSize(20, 20));
    EXPECT_EQ(view.pixel(9, 9), qRgb(255, 0, 0));
    EXPECT_EQ(view.pixel(10, 9), qRgb(0, 255, 0));
    EXPECT_EQ(view.pixel(10, 10), qRgb(255, 255, 255));

    QImage canvas(20, 20, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    platform::drawPicture(painter, Picture(two), QRectF(0, 0, 20, 20), QRectF(0, 0, 10, 20));
    painter.end();
    EXPECT_EQ(canvas.pixel(15, 5), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(5, 15), qRgb(0, 0, 255));
}

} // namespace
