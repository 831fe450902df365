// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using platform::Variant;
using testing_support::KelmoHarness;

namespace {

// The unzoomed view of the worked example: Image1 3900 × 3900 twips at Left 1320, Top 0, the
// panoramic copy at Left 120, Top 1440 with ratios 0.25, 15 twips per pixel.
struct Zoom : ::testing::Test {
    KelmoHarness kelmo;
    Zoom() {
        kelmo.load();
        kelmo.model().PictureClip.setPicture(
            platform::Picture(testing_support::patternImage(600, 600)));
        kelmo.model().Image1.place(1320, 0, 3900, 3900);
        kelmo.state().RelPanoramicaX = 0.25;
        kelmo.state().RelPanoramicaY = 0.25;
    }
    void select(float left, float top, float width, float height) {
        kelmo.model().Recuadro.place(left, top, width, height);
        kelmo.model().Recuadro.setVisible(true);
    }
    const platform::Shape& frame() { return kelmo.model().CuadroEnfoque; }
};

TEST_F(Zoom, WorkedExample) {
    select(2820, 1500, 1500, 750);
    kelmo.form().Zoom_Click();
    const app::ViewState& s = kelmo.state();
    EXPECT_EQ(s.OrigenX.toDouble(), 1500);
    EXPECT_EQ(s.OrigenY.toDouble(), 1500);
    const components::PictureClip& clip = kelmo.model().PictureClip;
    EXPECT_EQ(clip.ClipX(), 100);
    EXPECT_EQ(clip.ClipY(), 100);
    EXPECT_EQ(clip.ClipWidth(), 100);
    EXPECT_EQ(clip.ClipHeight(), 50);
    EXPECT_EQ(frame().Top(), 1815);
    EXPECT_EQ(frame().Left(), 495);
    EXPECT_EQ(frame().Height(), 187.5);
    EXPECT_EQ(frame().Width(), 375);
    EXPECT_TRUE(frame().Visible());
    EXPECT_EQ(s.FactorZoomX, Variant(2.6f));
    EXPECT_EQ(s.FactorZoomY, 5.2);
    EXPECT_FALSE(kelmo.model().Recuadro.Visible());
    // The view keeps its place and size and shows the cut stretched.
    EXPECT_EQ(kelmo.model().Image1.Width(), 3900);
    EXPECT_EQ(kelmo.model().Image1.picture().area(), QRect(100, 100, 100, 50));
}

TEST_F(Zoom, TwoZoomsCompound) {
    select(2820, 1500, 1500, 750);
    kelmo.form().Zoom_Click();
    select(1320 + 390, 390, 390, 390);
    kelmo.form().Zoom_Click();
    const app::ViewState& s = kelmo.state();
    EXPECT_NEAR(s.OrigenX.toDouble(), 1650, 1e-4);
    EXPECT_DOUBLE_EQ(s.OrigenY.toDouble(), 1575);
    EXPECT_EQ(kelmo.model().Image1.picture().area(), QRect(110, 105, 10, 5));
    EXPECT_EQ(s.FactorZoomX, Variant(float(10.0f * 2.6f)));
    EXPECT_DOUBLE_EQ(s.FactorZoomY, 52);
    // Each cut comes from the whole source, never from the picture on show.
    EXPECT_TRUE(
        kelmo.model().Image1.picture().sharesPixelsWith(kelmo.model().PictureClip.Picture()));
}

TEST_F(Zoom, AfterEnlargeTheSameSelectionCutsLess) {
    kelmo.form().Aumenta_Click();
    select(1320, 0, 1500, 750);
    kelmo.form().Zoom_Click();
    EXPECT_EQ(kelmo.model().PictureClip.ClipWidth(), 67);  // 1500 / 1.5 / 15 = 66.67
    EXPECT_EQ(kelmo.model().PictureClip.ClipHeight(), 33); // 750 / 1.5 / 15 = 33.33
}

TEST_F(Zoom, WithoutAnAreaNothingHappens) {
    const struct {
        bool visible;
        float width, height;
    } cases[] = {{false, 1500, 750}, {true, 0, 0}, {true, 1500, 0}, {true, 0, 750}};
    for (const auto& c : cases) {
        select(2820, 1500, c.width, c.height);
        kelmo.model().Recuadro.setVisible(c.visible);
        kelmo.form().Zoom_Click();
        EXPECT_EQ(kelmo.model().Recuadro.Visible(), c.visible);
        EXPECT_FALSE(frame().Visible());
        EXPECT_EQ(kelmo.state().FactorZoomX, Variant::integer(1));
        EXPECT_EQ(kelmo.state().OrigenX, Variant::integer(0));
        EXPECT_EQ(kelmo.model().Image1.picture().size(), QSize(256, 256));
    }
    EXPECT_TRUE(kelmo.messages.shown.empty());
}

TEST(ZoomAfterFailedStartUp, ShowsTheCutAtItsNaturalSizeAndShrinksTheFrame) {
    KelmoHarness kelmo(QStringLiteral("/no/existe.bmp"));
    kelmo.load();
    kelmo.messages.shown.clear();
    kelmo.form().Image1_MouseDown(1, 0, 150, 300);
    kelmo.form().Image1_MouseMove(1, 0, 1650, 1800);
    kelmo.form().Zoom_Click();
    const app::KelmoModel& m = kelmo.model();
    EXPECT_EQ(m.Image1.picture().area(), QRect(10, 20, 100, 100));
    EXPECT_EQ(m.Image1.Width(), 1500);
    EXPECT_EQ(m.Image1.Height(), 1500);
    EXPECT_EQ(m.CuadroEnfoque.Left(), 120);
    EXPECT_EQ(m.CuadroEnfoque.Top(), 1440);
    EXPECT_EQ(m.CuadroEnfoque.Width(), 0);
    EXPECT_EQ(m.CuadroEnfoque.Height(), 0);
    // With nothing in the panoramic copy a drag over it has nothing to move and says nothing.
    kelmo.form().ImagenPanoramica_MouseDown(1, 0, 0, 0);
    kelmo.form().ImagenPanoramica_MouseMove(1, 0, 300, 300);
    EXPECT_TRUE(kelmo.messages.shown.empty());
}

} // namespace
