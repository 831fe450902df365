// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::KelmoHarness;

namespace {

struct Selection : ::testing::Test {
    KelmoHarness kelmo;
    Selection() { kelmo.load(); }
    app::KelmoForm& f() { return kelmo.form(); }
    const platform::Shape& r() { return kelmo.model().Recuadro; }
    void expectRect(float left, float top, float width, float height) {
        EXPECT_EQ(r().Left(), left);
        EXPECT_EQ(r().Top(), top);
        EXPECT_EQ(r().Width(), width);
        EXPECT_EQ(r().Height(), height);
    }
};

TEST_F(Selection, PressWithoutMovementLeavesAnEmptySelectionAtThePressPoint) {
    f().Image1_MouseDown(1, 0, 450, 600);
    EXPECT_TRUE(r().Visible());
    expectRect(1770, 600, 0, 0);
}

TEST_F(Selection, MovesNeedTenTwipsOnBothAxesSinceTheLastAcceptedMove) {
    f().Image1_MouseDown(1, 0, 100, 100);
    const struct {
        float x, y;
        float width, height; // expected after the move
    } moves[] = {
        {105, 300, 5, 200},     // far from (0, 0) on both axes: accepted
        {110, 400, 5, 200},     // 5 across: refused
        {200, 305, 5, 200},     // 5 down: refused
        {115, 310, 15, 210},    // exactly 10 on both: accepted
        {124, 500, 15, 210},    // 9 across: refused
        {300, 319.5f, 15, 210}, // 9.5 down: refused
        {300, 320, 200, 220},   // accepted
    };
    for (const auto& m : moves) {
        f().Image1_MouseMove(1, 0, m.x, m.y);
        EXPECT_EQ(r().Width(), m.width) << m.x << "," << m.y;
        EXPECT_EQ(r().Height(), m.height) << m.x << "," << m.y;
    }
}

TEST_F(Selection, DragAlongOneAxisGrowsAtMostOnce) {
    f().Image1_MouseDown(1, 0, 100, 100);
    for (float x = 120; x <= 600; x += 20) {
        f().Image1_MouseMove(1, 0, x, 130);
    }
    expectRect(1420, 100, 20, 30);
}

TEST_F(Selection, LastAcceptedPointSurvivesFromDragToDrag) {
    f().Image1_MouseDown(1, 0, 100, 100);
    f().Image1_MouseMove(1, 0, 500, 500);
    EXPECT_EQ(kelmo.form().selectionTool().UltimoY(), 500);
    f().Image1_MouseDown(1, 0, 200, 200);
    f().Image1_MouseMove(1, 0, 505, 800); // 5 across from the last drag's point: refused
    expectRect(1520, 200, 0, 0);
    f().Image1_MouseMove(1, 0, 700, 800);
    expectRect(1520, 200, 500, 600);
}

TEST_F(Selection, MovingAboveOrLeftOfTheAnchorResetsTheLastPoint) {
    f().Image1_MouseDown(1, 0, 1000, 1000);
    f().Image1_MouseMove(1, 0, 1500, 1500);
    expectRect(2320, 1000, 500, 500);
    f().Image1_MouseMove(1, 0, 900, 1600); // left of the anchor
    expectRect(2320, 1000, 500, 500);
    EXPECT_EQ(kelmo.form().selectionTool().UltimoY(), 0);
    EXPECT_EQ(kelmo.form().selectionTool().UltimoX(), platform::Variant::integer(0));
    f().Image1_MouseMove(1, 0, 1200, 1200); // back below and right: sizing resumes
    expectRect(2320, 1000, 200, 200);
}

TEST_F(Selection, OtherButtonsAndEscLeaveTheRectangleAlone) {
    f().Image1_MouseDown(1, 0, 100, 100);
    f().Image1_MouseMove(2, 0, 500, 500);
    f().Image1_MouseMove(3, 0, 500, 500);
    f().Image1_MouseMove(0, 0, 500, 500);
    expectRect(1420, 100, 0, 0);
    f().Form_KeyDown(27, 0);
    EXPECT_FALSE(r().Visible());
    f().Image1_MouseMove(1, 0, 900, 900);
    EXPECT_FALSE(r().Visible());
    expectRect(1420, 100, 0, 0);
}

// The keys make the selection as a press and a drag do, a screen pixel (15 twips) at a time.
TEST_F(Selection, KeysSelectTheWholeViewOrMoveTheCornerOppositeTheAnchor) {
    constexpr float view = -1; // the view's width or height
    using Key = std::pair<std::int16_t, std::int16_t>;
    const Key right{39, 1}, left{37, 1}, down{40, 1}, up{38, 1}, all{65, 2};
    const struct {
        const char* what;
        bool pressFirst; // a press at (100, 100) of the view before the keys
        std::vector<Key> keys;
        bool visible;
        float width, height;
    } cases[] = {
        {"from the view's corner", false, {right, right, right, down, down}, true, 45, 30},
        {"ten pixels with Ctrl", false, {{39, 3}, {40, 3}, {37, 1}}, true, 135, 150},
        {"never past the anchor", false, {left, up, right, left, left}, true, 0, 0},
        {"from a press's anchor", true, {down, {40, 3}}, true, 0, 165},
        {"Ctrl+A", false, {all}, true, view, view},
        {"Ctrl+A, then one less", false, {all, left, up}, true, view - 15, view - 15},
        {"within the view", false, std::vector<Key>(40, {39, 3}), true, view, 0},
        {"without Shift, or with Alt", false, {{39, 0}, {37, 0}, {40, 5}, {65, 6}}, false, 0, 0},
    };
    for (const auto& c : cases) {
        KelmoHarness fresh;
        fresh.load();
        const platform::PictureBox& image = fresh.model().Image1;
        const platform::Shape& rect = fresh.model().Recuadro;
        if (c.pressFirst) {
            fresh.form().Image1_MouseDown(1, 0, 100, 100);
        }
        for (const Key& key : c.keys) {
            fresh.form().Form_KeyDown(key.first, key.second);
            // A key that stands for the pointer goes no further (it would move the focus).
            EXPECT_TRUE(fresh.model().window.takeKeyConsumed() || !c.visible) << c.what;
        }
        EXPECT_EQ(rect.Visible(), c.visible) << c.what;
        if (!c.visible) {
            continue;
        }
        const float anchor = c.pressFirst ? 100 : 0;
        EXPECT_EQ(rect.Left(), image.Left() + anchor) << c.what;
        EXPECT_EQ(rect.Top(), image.Top() + anchor) << c.what;
        EXPECT_EQ(rect.Width(), c.width < 0 ? image.Width() + c.width + 1 : c.width) << c.what;
        EXPECT_EQ(rect.Height(), c.height < 0 ? image.Height() + c.height + 1 : c.height) << c.what;
        // The pointer's threshold point is the pointer's alone.
        EXPECT_EQ(fresh.form().selectionTool().UltimoY(), 0) << c.what;
    }
}

TEST_F(Selection, IsNotClampedToTheView) {
    f().Image1_MouseDown(1, 0, 3000, 3000);
    f().Image1_MouseMove(1, 0, 9000, 7000);
    expectRect(4320, 3000, 6000, 4000);
}

} // namespace
