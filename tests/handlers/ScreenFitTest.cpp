// SPDX-License-Identifier: MIT
// A picture whose fitted window is larger than the screen is shown whole: reduced as the reduce
// command reduces it, the fewest times that make the window fit, from every way a picture is
// shown.

#include "platform/Twips.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

enum class ShownBy { StartUp, Open, Drop, FolderMove };

// The window's outer size in pixels, as the real window is given it.
QSize outerPixels(KelmoHarness& kelmo) {
    const platform::CoordinateMapper mapper(kelmo.screen);
    return QSize(mapper.toPixelsX(kelmo.model().window.Width()),
                 mapper.toPixelsY(kelmo.model().window.Height()));
}

void show(KelmoHarness& kelmo, ShownBy by, const QString& path, const QString& before) {
    switch (by) {
    case ShownBy::StartUp:
        kelmo.load();
        return;
    case ShownBy::Open:
        kelmo.load();
        kelmo.prompter.fileAnswers.push_back(path);
        kelmo.form().SubMenuAbrir_Click();
        return;
    case ShownBy::Drop:
        kelmo.load();
        kelmo.form().Form_FileDropped(path);
        return;
    case ShownBy::FolderMove:
        kelmo.load(); // `before`, the picture ahead of it in the folder
        kelmo.form().Form_FirstShown();
        kelmo.form().Form_KeyDown(39, 0); // Right
        QElapsedTimer clock;
        clock.start();
        while ((kelmo.backgroundReader.busy() || kelmo.model().shownFile == before) &&
               clock.elapsed() < 10000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return;
    }
}

TEST(ScreenFit, APictureLargerThanTheScreenIsReducedTheFewestTimesThatMakeTheWindowFit) {
    const struct {
        QSize picture;
        QSize screen;
        ShownBy by;
        int reductions;
    } cases[] = {
        {{1823, 600}, {1920, 1080}, ShownBy::StartUp, 0}, // 1920 pixels wide: fits exactly
        {{1824, 600}, {1920, 1080}, ShownBy::StartUp, 1}, // one pixel more
        {{1000, 700}, {800, 600}, ShownBy::StartUp, 1},
        {{2400, 1800}, {1280, 720}, ShownBy::Open, 3},
        {{800, 3000}, {1366, 768}, ShownBy::Drop, 4},
        {{3000, 400}, {1024, 768}, ShownBy::FolderMove, 3},
        {{640, 480}, {60, 40}, ShownBy::StartUp, 0}, // not even the margins fit: left as it is
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.picture.width() << "x" << c.picture.height() << " on "
                                        << c.screen.width() << "x" << c.screen.height());
        PictureFiles files;
        const QString before = files.write(QStringLiteral("a.bmp"), 30, 20);
        const QString path =
            files.write(QStringLiteral("b.bmp"), c.picture.width(), c.picture.height());
        KelmoHarness kelmo(c.by == ShownBy::StartUp      ? path
                           : c.by == ShownBy::FolderMove ? before
                                                         : QString());
        kelmo.screenArea.setAvailablePixels(c.screen);
        show(kelmo, c.by, path, before);
        ASSERT_EQ(kelmo.model().shownFile, path);

        // The same picture on a screen it fits, and the reduce command pressed as often.
        KelmoHarness pressed(path);
        pressed.load();
        for (int i = 0; i < c.reductions; ++i) {
            if (i == c.reductions - 1) { // one press fewer would not do
                EXPECT_FALSE(c.screen.expandedTo(outerPixels(pressed)) == c.screen);
            }
            pressed.form().Disminuye_Click();
        }
        const app::KelmoModel& m = kelmo.model();
        const app::KelmoModel& p = pressed.model();
        EXPECT_EQ(m.window.Width(), p.window.Width());
        EXPECT_EQ(m.window.Height(), p.window.Height());
        EXPECT_EQ(m.Image1.Width(), p.Image1.Width());
        EXPECT_EQ(m.Image1.Height(), p.Image1.Height());
        EXPECT_TRUE(m.Image1.Visible());
        EXPECT_EQ(m.state.FactorVentana, p.state.FactorVentana);
        EXPECT_EQ(m.state.AnchoOriginal, c.picture.width() * 15);
        EXPECT_EQ(m.state.AltoOriginal, c.picture.height() * 15);
        EXPECT_EQ(m.state.RelPanoramicaX, p.state.RelPanoramicaX);
        EXPECT_EQ(m.state.RelPanoramicaY, p.state.RelPanoramicaY);
        EXPECT_EQ(m.Image1.picture().area(), QRect(QPoint(0, 0), c.picture));
        if (c.reductions > 0) {
            EXPECT_EQ(c.screen.expandedTo(outerPixels(kelmo)), c.screen);
        }

        // Restore shows the natural size, whatever the screen.
        kelmo.form().Restore_Click();
        EXPECT_EQ(m.Image1.Width(), c.picture.width() * 15);
        EXPECT_EQ(m.state.FactorVentana, 1.0);
    }
}

} // namespace
