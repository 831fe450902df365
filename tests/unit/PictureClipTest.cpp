// SPDX-License-Identifier: MIT
#include "components/PictureClip.h"
#include "platform/PlatformError.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using components::PictureClip;
using platform::Picture;

namespace {

PictureClip clipperOf(int width, int height) {
    PictureClip clip;
    clip.setPicture(Picture(testing_support::patternImage(width, height)));
    return clip;
}

Picture cut(PictureClip& clip, int x, int y, int w, int h) {
    clip.setClipX(x);
    clip.setClipY(y);
    clip.setClipWidth(w);
    clip.setClipHeight(h);
    return clip.Clip();
}

TEST(PictureClip, CutSharesTheSourcePixelsAndKeepsItsRectangle) {
    PictureClip clip = clipperOf(400, 300);
    const Picture piece = cut(clip, 100, 100, 100, 50);
    EXPECT_TRUE(piece.sharesPixelsWith(clip.Picture()));
    EXPECT_EQ(piece.size(), QSize(100, 50));
    EXPECT_EQ(piece.area(), QRect(100, 100, 100, 50));
    const QImage pixels = piece.toImage();
    EXPECT_EQ(pixels.pixel(0, 0), testing_support::patternPixel(100, 100));
    EXPECT_EQ(pixels.pixel(99, 49), testing_support::patternPixel(199, 149));
}

TEST(PictureClip, RectanglesLeavingThePictureAreTrimmedAtEveryEdge) {
    PictureClip clip = clipperOf(200, 100);
    const struct {
        int x, y, width, height;
        QRect kept;
    } cases[] = {
        {-10, 20, 50, 30, {0, 20, 40, 30}},     // left
        {20, -5, 30, 30, {20, 0, 30, 25}},      // top
        {180, 10, 50, 20, {180, 10, 20, 20}},   // right
        {10, 90, 20, 40, {10, 90, 20, 10}},     // bottom
        {-50, -50, 400, 400, {0, 0, 200, 100}}, // all around
        {-2147483647, 0, 2147483647, 10, {}},   // ends left of the picture
        {2147483000, 0, 2000, 10, {}},          // far right, at the 32-bit edge
        {150, 2147483600, 2000, 2000, {}},      // far below
    };
    for (const auto& c : cases) {
        if (c.kept.isEmpty()) {
            EXPECT_THROW(cut(clip, c.x, c.y, c.width, c.height), platform::PlatformError);
            continue;
        }
        const Picture piece = cut(clip, c.x, c.y, c.width, c.height);
        EXPECT_EQ(piece.area(), c.kept) << c.x << "," << c.y;
        EXPECT_EQ(piece.toImage().pixel(0, 0),
                  testing_support::patternPixel(c.kept.x(), c.kept.y()));
    }
}

TEST(PictureClip, EmptyCutsAreRefusedWithAClearMessage) {
    PictureClip clip = clipperOf(50, 50);
    const QRect empty[] = {
        {10, 10, 0, 5}, {10, 10, 5, 0}, {60, 0, 5, 5}, {0, -9, 5, 5}, {10, 10, -3, 5}};
    for (const QRect& r : empty) {
        try {
            cut(clip, r.x(), r.y(), r.width(), r.height());
            ADD_FAILURE() << "no error for " << r.x() << "," << r.y();
        } catch (const platform::PlatformError& error) {
            EXPECT_EQ(error.number(), platform::ErrorNumber::InvalidPicture);
            EXPECT_TRUE(error.description().contains(QStringLiteral("fuera de la imagen")));
        }
    }
    PictureClip nothing;
    EXPECT_THROW(cut(nothing, 0, 0, 1, 1), platform::PlatformError);
}

TEST(PictureClip, CutOfACutStaysInsideItsOwnArea) {
    const Picture whole(testing_support::patternImage(300, 300));
    const Picture inner = whole.cut(100, 100, 50, 50).cut(40, 40, 100, 100);
    EXPECT_EQ(inner.area(), QRect(140, 140, 10, 10));
}

} // namespace
