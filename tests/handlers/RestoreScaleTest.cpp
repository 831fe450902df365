// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using platform::Variant;
using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

struct ViewCommands : ::testing::Test {
    KelmoHarness kelmo;
    ViewCommands() { kelmo.load(); }
    app::KelmoForm& f() { return kelmo.form(); }
    const app::KelmoModel& m() { return kelmo.model(); }
    void zoomIntoCorner() {
        f().Image1_MouseDown(1, 0, 300, 300);
        f().Image1_MouseMove(1, 0, 1500, 1200);
        f().Zoom_Click();
    }
};

TEST_F(ViewCommands, RestoreUndoesZoomAndEnlargeAndKeepsTheSelection) {
    zoomIntoCorner();
    f().Aumenta_Click();
    f().Image1_MouseDown(1, 0, 100, 100);
    f().Restore_Click();
    EXPECT_EQ(m().Image1.Width(), 3840);
    EXPECT_EQ(m().Image1.Height(), 3840);
    EXPECT_EQ(m().window.Width(), 5294);
    EXPECT_EQ(m().window.Height(), 4540);
    EXPECT_EQ(m().Image1.picture().area(), QRect(0, 0, 256, 256));
    EXPECT_EQ(m().state.FactorVentana, 1.0);
    EXPECT_EQ(m().state.FactorZoomX, Variant::integer(1));
    EXPECT_EQ(m().state.FactorZoomY, 1.0);
    EXPECT_EQ(m().state.OrigenY, Variant::integer(0));
    EXPECT_FALSE(m().CuadroEnfoque.Visible());
    EXPECT_TRUE(m().Recuadro.Visible());
    EXPECT_EQ(m().Recuadro.Left(), 1420);
}

TEST_F(ViewCommands, RestoreTwiceEqualsOnceAndTheMenuItemEqualsTheButton) {
    zoomIntoCorner();
    f().Restore_Click();
    const float width = m().window.Width();
    const float height = m().window.Height();
    f().Restore_Click();
    EXPECT_EQ(m().window.Width(), width);
    EXPECT_EQ(m().window.Height(), height);
    zoomIntoCorner();
    m().window.findMenuItem(QStringLiteral("SubMenuRestore"))->onClick();
    EXPECT_EQ(m().window.Width(), width);
    EXPECT_FALSE(m().CuadroEnfoque.Visible());
}

TEST(Restore, DropsTheMinimumHeightThatOpeningApplied) {
    PictureFiles files;
    KelmoHarness kelmo;
    kelmo.load();
    kelmo.prompter.fileAnswers.push_back(files.write(QStringLiteral("baja.bmp"), 200, 100));
    kelmo.form().SubMenuAbrir_Click();
    ASSERT_EQ(kelmo.model().window.Height(), 3355);
    kelmo.form().Restore_Click();
    EXPECT_EQ(kelmo.model().window.Height(), 2200);
}

TEST_F(ViewCommands, EnlargeAndReduceWorkedExample) {
    kelmo.model().Image1.place(1320, 0, 3900, 3900);
    kelmo.model().Recuadro.place(2000, 1000, 600, 300);
    kelmo.model().Recuadro.setVisible(true);
    f().Aumenta_Click();
    EXPECT_EQ(m().window.Height(), 6550);
    EXPECT_EQ(m().window.Width(), 7304);
    EXPECT_EQ(m().Image1.Width(), 5850);
    EXPECT_EQ(m().Image1.Height(), 5850);
    EXPECT_TRUE(m().Image1.Visible());
    EXPECT_EQ(m().state.FactorVentana, 1.5);
    EXPECT_EQ(m().Recuadro.Left(), 2340);
    EXPECT_EQ(m().Recuadro.Top(), 1500);
    EXPECT_EQ(m().Recuadro.Width(), 900);
    EXPECT_EQ(m().Recuadro.Height(), 450);
    f().Disminuye_Click();
    EXPECT_EQ(m().window.Height(), 4600);
    EXPECT_EQ(m().window.Width(), 5354);
    EXPECT_EQ(m().Image1.Width(), 3900);
    EXPECT_EQ(m().state.FactorVentana, 1.0);
    EXPECT_EQ(m().Recuadro.Left(), 2000);
    EXPECT_EQ(m().Recuadro.Width(), 600);
}

TEST_F(ViewCommands, EnlargeThenReduceReturnsTheSizesWithinRounding) {
    const float sizes[] = {3840, 1001, 7, 12345.6f, 480};
    for (float size : sizes) {
        kelmo.model().Image1.place(1320, 0, size, size / 3);
        f().Aumenta_Click();
        f().Disminuye_Click();
        EXPECT_NEAR(m().Image1.Width(), size, size * 1e-6) << size;
        EXPECT_NEAR(m().Image1.Height(), size / 3, size * 1e-6) << size;
        EXPECT_NEAR(m().state.FactorVentana, 1.0, 1e-12);
        EXPECT_EQ(m().window.Width(), float(double(m().Image1.Width()) + 1454));
    }
}

TEST_F(ViewCommands, MenuItemsGiveTheButtonsResults) {
    KelmoHarness other;
    other.load();
    for (int i = 0; i < 3; ++i) {
        f().Aumenta_Click();
        other.model().window.findMenuItem(QStringLiteral("SubMenuAmpliar"))->onClick();
    }
    f().Disminuye_Click();
    other.model().window.findMenuItem(QStringLiteral("SubMenuReducir"))->onClick();
    EXPECT_EQ(other.model().window.Width(), m().window.Width());
    EXPECT_EQ(other.model().window.Height(), m().window.Height());
    EXPECT_EQ(other.state().FactorVentana, m().state.FactorVentana);
}

TEST_F(ViewCommands, RepeatedReductionsHaveNoLowerBoundAndRaiseNothing) {
    float previous = m().Image1.Width();
    for (int i = 0; i < 60; ++i) {
        f().Disminuye_Click();
        EXPECT_LT(m().Image1.Width(), previous);
        EXPECT_GT(m().Image1.Width(), 0);
        previous = m().Image1.Width();
    }
    EXPECT_TRUE(kelmo.messages.shown.empty());
    EXPECT_NEAR(m().window.Height(), 700, 1);
}

TEST_F(ViewCommands, HiddenSelectionIsLeftUnchanged) {
    kelmo.model().Recuadro.place(2000, 1000, 600, 300);
    f().Aumenta_Click();
    EXPECT_EQ(m().Recuadro.Left(), 2000);
    EXPECT_EQ(m().Recuadro.Width(), 600);
}

} // namespace
