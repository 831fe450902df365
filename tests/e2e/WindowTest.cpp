// SPDX-License-Identifier: MIT
// The real window on Qt's offscreen platform, driven with mouse and key events and checked by
// its pixels.

#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using testing_support::KelmoHarness;
using testing_support::patternPixel;
using testing_support::PictureFiles;

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void leftDrag(QWidget* widget, QPoint from, QPoint to) {
    sendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    const int steps = 5;
    for (int i = 1; i <= steps; ++i) {
        const QPoint at = from + (to - from) * i / steps;
        sendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    }
    sendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

struct RealWindow : ::testing::Test, testing_support::ShownKelmo {
    QImage pixels() { return window->surface()->grab().toImage(); }
    QWidget* surface() { return window->surface(); }
};

TEST_F(RealWindow, ShowsThePictureAtNaturalSizeBesideItsPanoramicCopy) {
    start(files.write(QStringLiteral("conocida.bmp"), 200, 180));
    const QImage shown = pixels();
    // Image1 at Left 1320 twips = 88 pixels, Top 0.
    for (const QPoint p : {QPoint(10, 10), QPoint(50, 40), QPoint(97, 77), QPoint(1, 1)}) {
        EXPECT_EQ(shown.pixel(88 + p.x(), p.y()) & 0xffffff, patternPixel(p.x(), p.y()) & 0xffffff)
            << p.x() << "," << p.y();
    }
    // Past the picture's right edge lies the window's background.
    EXPECT_NE(shown.pixel(88 + 201, 40) & 0xffffff, patternPixel(201, 40) & 0xffffff);
    // The panoramic copy (8, 96, 73 × 81 pixels) shows the whole picture reduced.
    const QRect copy = window->surface()->pixelRect(kelmo->model().ImagenPanoramica);
    EXPECT_EQ(copy, QRect(8, 96, 73, 81));
    for (const QPoint p : {QPoint(36, 40), QPoint(5, 70), QPoint(65, 8)}) {
        const QPoint source(p.x() * 200 / 73, p.y() * 180 / 81);
        EXPECT_LE(
            channelDistance(shown.pixel(copy.topLeft() + p), patternPixel(source.x(), source.y())),
            3)
            << p.x() << "," << p.y();
    }
}

// The views' single-line border goes around the picture, never over its outer pixels.
TEST_F(RealWindow, EveryPixelOfASmallPictureIsShown) {
    start(files.write(QStringLiteral("icono.bmp"), 32, 32));
    const QImage shown = pixels();
    int hidden = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            hidden += (shown.pixel(88 + x, y) & 0xffffff) != (patternPixel(x, y) & 0xffffff);
        }
    }
    EXPECT_EQ(hidden, 0);
}

TEST_F(RealWindow, ButtonsTakeTheFocusInTabOrderWithTheirTooltips) {
    start(QString());
    QToolButton* aumenta = window->button(QStringLiteral("Aumenta"));
    ASSERT_NE(aumenta, nullptr);
    EXPECT_TRUE(aumenta->hasFocus());
    EXPECT_EQ(aumenta->toolTip(), QStringLiteral("Aumenta la ventana de visión"));
    EXPECT_EQ(aumenta->accessibleName(), aumenta->toolTip());
    EXPECT_EQ(aumenta->geometry(), QRect(8, 8, 33, 33));
    for (const char* next : {"Disminuye", "Zoom", "Restore", "Aumenta"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window->button(QString::fromUtf8(next))) << next;
    }
    EXPECT_EQ(surface()->focusPolicy(), Qt::NoFocus);
}

TEST_F(RealWindow, KeysReachTheFormBeforeTheFocusedButton) {
    start(QString());
    sendMouse(surface(), QEvent::MouseButtonPress, QPoint(100, 20), Qt::LeftButton, Qt::LeftButton);
    sendMouse(surface(), QEvent::MouseButtonRelease, QPoint(100, 20), Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(kelmo->model().Recuadro.Visible());
    QTest::keyClick(window->button(QStringLiteral("Aumenta")), Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_FALSE(kelmo->model().Recuadro.Visible());
    QTest::keyClick(window->button(QStringLiteral("Aumenta")), Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(kelmo->messages.shown.size(), 1u);
    EXPECT_EQ(kelmo->messages.shown[0].text, QStringLiteral("No se ha seleccionado el área"));
}

// A modal box opened by the handler moves the focus; the same press, travelling on to the
// focused button's parents, must not reach the form a second time.
TEST_F(RealWindow, EachKeyPressReachesTheFormOnceWhateverTheHandlerOpened) {
    start(QString());
    kelmo->messages.whileShown = [this] { window->setFocus(); };
    for (QWidget* focus : {static_cast<QWidget*>(window->button(QStringLiteral("Zoom"))),
                           static_cast<QWidget*>(window.get())}) {
        kelmo->messages.shown.clear();
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(kelmo->messages.shown.size(), 1u) << focus->metaObject()->className();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(kelmo->messages.shown.size(), 2u) << "the next press is a press of its own";
    }
}

TEST_F(RealWindow, APressAfterAPopupGoesToTheControlUnderThePointer) {
    start(QString());
    // A right press over the view opens "Editar"; its release goes to the popup, not the view.
    sendMouse(surface(), QEvent::MouseButtonPress, QPoint(150, 50), Qt::RightButton,
              Qt::RightButton);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QApplication::activePopupWidget()->close();
    // The next left press lands on the panoramic copy and anchors a drag there.
    const QRect copy = window->surface()->pixelRect(kelmo->model().ImagenPanoramica);
    sendMouse(surface(), QEvent::MouseButtonPress, copy.topLeft() + QPoint(10, 20), Qt::LeftButton,
              Qt::LeftButton);
    EXPECT_EQ(kelmo->state().ArrastreX, 150);
    EXPECT_EQ(kelmo->state().ArrastreY, 300);
    EXPECT_FALSE(kelmo->model().Recuadro.Visible());
}

TEST_F(RealWindow, MenusMirrorTheFormAndCheckMarksNeverChange) {
    start(QString());
    QAction* verMenu = window->action(QStringLiteral("VerMenu"));
    ASSERT_NE(verMenu, nullptr);
    EXPECT_TRUE(verMenu->isChecked());
    verMenu->trigger();
    EXPECT_TRUE(verMenu->isChecked());
    EXPECT_FALSE(window->action(QStringLiteral("SubMenuPropiedades"))->isEnabled());
    EXPECT_EQ(window->menu(QStringLiteral("MenuFile"))->title(), QStringLiteral("Fichero"));
    window->action(QStringLiteral("SubMenuCerrar"))->trigger();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(RealWindow, OpenDragASelectionAndZoomThenDragTheFrame) {
    start(QString());
    const QString path = files.write(QStringLiteral("abrir.bmp"), 120, 100);
    kelmo->prompter.fileAnswers.push_back(path);
    window->action(QStringLiteral("SubMenuAbrir"))->trigger();
    EXPECT_EQ(window->windowTitle(), path);

    // Select pixels (10, 10) to (60, 50) of the view and zoom into them.
    leftDrag(surface(), QPoint(88 + 10, 10), QPoint(88 + 60, 50));
    ASSERT_TRUE(kelmo->model().Recuadro.Visible());
    QImage shown = pixels();
    EXPECT_EQ(shown.pixel(88 + 10, 30) & 0xffffff, 0xffffff); // the selection's white outline
    QTest::mouseClick(window->button(QStringLiteral("Zoom")), Qt::LeftButton);
    ASSERT_EQ(kelmo->model().Image1.picture().area(), QRect(10, 10, 50, 40));

    shown = pixels();
    // The view keeps its 120 × 100 pixels and shows the 50 × 40 cut stretched over them.
    for (const QPoint p : {QPoint(60, 50), QPoint(12, 80), QPoint(110, 7)}) {
        const QRgb expected = patternPixel(10 + p.x() * 50 / 120, 10 + p.y() * 40 / 100);
        EXPECT_LE(channelDistance(shown.pixel(88 + p.x(), p.y()), expected), 1)
            << p.x() << "," << p.y();
    }
    // The focus frame is drawn in white over the panoramic copy.
    const QRect frame = window->surface()->pixelRect(kelmo->model().CuadroEnfoque);
    EXPECT_EQ(shown.pixel(frame.topLeft()) & 0xffffff, 0xffffff);
    EXPECT_EQ(shown.pixel(frame.left() + frame.width() / 2, frame.top()) & 0xffffff, 0xffffff);

    // Drag the frame 10 pixels right: the view now shows the region under it.
    leftDrag(surface(), frame.center(), frame.center() + QPoint(10, 0));
    const QRect region = kelmo->model().Image1.picture().area();
    EXPECT_GT(region.x(), 10);
    EXPECT_EQ(region.size(), QSize(50, 40));
    shown = pixels();
    const QPoint p(60, 50);
    const QRgb expected =
        patternPixel(region.x() + p.x() * 50 / 120, region.y() + p.y() * 40 / 100);
    EXPECT_LE(channelDistance(shown.pixel(88 + p.x(), p.y()), expected), 1);
    EXPECT_TRUE(kelmo->messages.shown.empty());
}

TEST_F(RealWindow, WindowStaysWithinTheScreenWhileTheFormKeepsItsSize) {
    start(files.write(QStringLiteral("enorme.bmp"), 3000, 2500));
    const QRect available = window->screen()->availableGeometry();
    EXPECT_LE(window->frameGeometry().width(), available.width());
    EXPECT_LE(window->frameGeometry().height(), available.height());
    EXPECT_EQ(kelmo->model().window.Width(), 3000 * 15 + 1454);
    // What is on screen of the view still shows the picture at natural size.
    const QImage shown = pixels();
    EXPECT_EQ(shown.pixel(88 + 300, 200) & 0xffffff, patternPixel(300, 200) & 0xffffff);
}

} // namespace
