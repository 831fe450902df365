// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::KelmoHarness;

namespace {

// The worked example's setting: the panoramic copy at Left 120, Top 1440, 1095 × 1215 twips, a
// picture 40 times its size (ratios 0.025), 15 twips per pixel, the frame 300 × 200 at
// Left 500, Top 1600.
struct Navigator : ::testing::Test {
    KelmoHarness kelmo;
    Navigator() {
        kelmo.load();
        kelmo.model().PictureClip.setPicture(
            platform::Picture(testing_support::patternImage(2920, 3240)));
        kelmo.state().RelPanoramicaX = 0.025;
        kelmo.state().RelPanoramicaY = 0.025;
        kelmo.model().CuadroEnfoque.place(500, 1600, 300, 200);
        kelmo.model().CuadroEnfoque.setVisible(true);
    }
    app::KelmoForm& f() { return kelmo.form(); }
    const platform::Shape& frame() { return kelmo.model().CuadroEnfoque; }
};

TEST_F(Navigator, WorkedExample) {
    f().ImagenPanoramica_MouseDown(1, 0, 400, 200);
    EXPECT_EQ(kelmo.state().ArrastreX, 400);
    EXPECT_EQ(kelmo.state().ArrastreY, 200);
    f().ImagenPanoramica_MouseMove(1, 0, 1400, 250);
    EXPECT_EQ(frame().Left(), 875);
    EXPECT_EQ(frame().Top(), 1650);
    EXPECT_EQ(kelmo.state().ArrastreX, 1400);
    EXPECT_EQ(kelmo.state().ArrastreY, 250);
    EXPECT_DOUBLE_EQ(kelmo.state().OrigenY.toDouble(), 8400);
    EXPECT_DOUBLE_EQ(kelmo.state().OrigenX.toDouble(), 30200);
    const components::PictureClip& clip = kelmo.model().PictureClip;
    EXPECT_EQ(clip.ClipX(), 2013);
    EXPECT_EQ(clip.ClipY(), 560);
    EXPECT_EQ(clip.ClipWidth(), 800);
    EXPECT_EQ(clip.ClipHeight(), 533);
    EXPECT_EQ(kelmo.model().Image1.picture().area(), QRect(2013, 560, 800, 533));
}

TEST_F(Navigator, FrameIsHeldInsideTheCopyOnAllFourSides) {
    const struct {
        float x, y;
        float left, top;
    } moves[] = {
        {-5000, 200, 120, 1600},   // left edge on the copy's left edge
        {400, -5000, 500, 1440},   // top edge on the copy's top edge
        {5000, 200, 875, 1600},    // right edge 40 inside: 120 + 1095 - 300 - 40
        {400, 5000, 500, 2415},    // bottom edge 40 inside: 1440 + 1215 - 200 - 40
        {-5000, -5000, 120, 1440}, // top-left corner
    };
    for (const auto& m : moves) {
        kelmo.model().CuadroEnfoque.place(500, 1600, 300, 200);
        f().ImagenPanoramica_MouseDown(1, 0, 400, 200);
        f().ImagenPanoramica_MouseMove(1, 0, m.x, m.y);
        EXPECT_EQ(frame().Left(), m.left) << m.x << "," << m.y;
        EXPECT_EQ(frame().Top(), m.top) << m.x << "," << m.y;
    }
    // At the top-left limit the region starts at the picture's corner.
    EXPECT_EQ(kelmo.state().OrigenX.toDouble(), 0);
    EXPECT_EQ(kelmo.model().PictureClip.ClipX(), 0);
    EXPECT_EQ(kelmo.model().PictureClip.ClipY(), 0);
}

TEST_F(Navigator, MovingBackAfterALimitMovesTheFrameBackAtOnce) {
    f().ImagenPanoramica_MouseDown(1, 0, 400, 200);
    f().ImagenPanoramica_MouseMove(1, 0, 3400, 200); // far past the right limit
    EXPECT_EQ(frame().Left(), 875);
    EXPECT_EQ(kelmo.state().ArrastreX, 3400);
    f().ImagenPanoramica_MouseMove(1, 0, 3300, 200);
    EXPECT_EQ(frame().Left(), 775);
}

TEST_F(Navigator, OnlyTheLeftButtonDragsAVisibleFrame) {
    f().ImagenPanoramica_MouseDown(1, 0, 400, 200);
    for (int button : {0, 2, 3, 4}) {
        f().ImagenPanoramica_MouseMove(std::int16_t(button), 0, 600, 300);
    }
    f().ImagenPanoramica_MouseDown(2, 0, 10, 10);
    EXPECT_EQ(frame().Left(), 500);
    EXPECT_EQ(kelmo.state().ArrastreX, 400);
    kelmo.model().CuadroEnfoque.setVisible(false);
    f().ImagenPanoramica_MouseMove(1, 0, 600, 300);
    EXPECT_EQ(frame().Left(), 500);
    EXPECT_EQ(kelmo.state().ArrastreX, 400);
    // A press records the anchor even while the frame is hidden.
    f().ImagenPanoramica_MouseDown(1, 0, 12.5f, 13.5f);
    EXPECT_EQ(kelmo.state().ArrastreX, 12);
    EXPECT_EQ(kelmo.state().ArrastreY, 14);
}

TEST_F(Navigator, FrameWiderThanTheCopyGivesANegativeOriginAndATrimmedCut) {
    kelmo.model().CuadroEnfoque.place(200, 1500, 1100, 200);
    f().ImagenPanoramica_MouseDown(1, 0, 0, 0);
    f().ImagenPanoramica_MouseMove(1, 0, 10, 10);
    EXPECT_EQ(frame().Left(), 120 + 1095 - 1100 - 40); // the right limit wins: 75
    EXPECT_LT(kelmo.state().OrigenX.toDouble(), 0);
    EXPECT_LT(kelmo.model().PictureClip.ClipX(), 0);
    const QRect shown = kelmo.model().Image1.picture().area();
    EXPECT_EQ(shown.x(), 0);
    EXPECT_EQ(shown.right(),
              kelmo.model().PictureClip.ClipX() + kelmo.model().PictureClip.ClipWidth() - 1);
    EXPECT_TRUE(kelmo.messages.shown.empty());
}

TEST_F(Navigator, AfterAZoomDraggingShowsTheRegionUnderTheFrame) {
    KelmoHarness real;
    real.load();
    real.form().Image1_MouseDown(1, 0, 0, 0);
    real.form().Image1_MouseMove(1, 0, 960, 960); // a quarter of the 256-pixel picture
    real.form().Zoom_Click();
    EXPECT_EQ(real.model().Image1.picture().area(), QRect(0, 0, 64, 64));
    const float left = real.model().CuadroEnfoque.Left();
    real.form().ImagenPanoramica_MouseDown(1, 0, 100, 100);
    real.form().ImagenPanoramica_MouseMove(1, 0, 200, 100);
    EXPECT_EQ(real.model().CuadroEnfoque.Left(), left + 100);
    // 100 panoramic twips are 100 / 0.28515625 source twips, 23.4 pixels.
    EXPECT_EQ(real.model().Image1.picture().area(), QRect(23, 0, 64, 64));
}

} // namespace
