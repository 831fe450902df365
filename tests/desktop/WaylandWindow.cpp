// SPDX-License-Identifier: MIT
// The window on a Wayland compositor: Kelmo's window, with the program's own handlers and Qt
// layer, shown through Qt's Wayland platform; after start-up, enlarge, reduce, restore (each
// pressed on its button) and a move through the folder (the arrow key), the compositor's
// screenshot must show every row and column of the view. Each picture is a single colour that
// nothing else on the screen has; its panoramic copy shows at the same height left of the view.
// Usage (under a compositor started with --debug, QT_QPA_PLATFORM=wayland):
// kelmo_wayland_window PICTURE... (in the order their folder lists them), or
// kelmo_wayland_window --view SCREENSHOT, which prints the size of the view on it.

#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "reading/decoders/modules/FormatModule.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <vector>

namespace {

constexpr QRgb pictureColour = 0xff00c000;

int passed = 0;
int failed = 0;

void wait(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// The whole screen as the compositor shows it, through its screenshot client.
QImage screenshot() {
    QTemporaryDir dir;
    QProcess shooter;
    shooter.setWorkingDirectory(dir.path());
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    // waitForFinished answers false for a process that has already finished, which the events
    // processed here may have seen: the state says when it has.
    QElapsedTimer waited;
    waited.start();
    while (shooter.state() != QProcess::NotRunning && !shooter.waitForFinished(10) &&
           waited.elapsed() < 30000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10); // the compositor waits for us
    }
    const QStringList shots = QDir(dir.path()).entryList({QStringLiteral("*.png")});
    return shots.isEmpty() ? QImage() : QImage(QDir(dir.path()).filePath(shots.first()));
}

bool isPicture(QRgb pixel) {
    return std::abs(qRed(pixel) - qRed(pictureColour)) < 12 &&
           std::abs(qGreen(pixel) - qGreen(pictureColour)) < 12 &&
           std::abs(qBlue(pixel) - qBlue(pictureColour)) < 12;
}

// The view's rectangle on the screen: the right-most run of columns with the picture's colour
// (the panoramic copy, where it shows, is left of the view, with the window's background between).
QRect shownView(const QImage& screen) {
    std::vector<bool> columns(std::size_t(screen.width()), false);
    for (int y = 0; y < screen.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            columns[std::size_t(x)] = columns[std::size_t(x)] || isPicture(row[x]);
        }
    }
    int right = screen.width() - 1;
    while (right >= 0 && !columns[std::size_t(right)]) {
        --right;
    }
    int left = right;
    while (left > 0 && columns[std::size_t(left - 1)]) {
        --left;
    }
    QRect view;
    for (int y = 0; y < screen.height() && right >= 0; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = left; x <= right; ++x) {
            if (isPicture(row[x])) {
                view |= QRect(x, y, 1, 1);
            }
        }
    }
    return view;
}

void check(platform::qt::QtFormWindow& window, const app::KelmoModel& model, const char* step,
           const QString& picture) {
    wait(400);
    const QImage screen = screenshot().convertToFormat(QImage::Format_RGB32);
    const QRect expected = window.surface()->pixelRect(model.Image1);
    const QRect shown = screen.isNull() ? QRect() : shownView(screen);
    // Every row and column of the view on the screen, and nothing of the picture beyond it.
    if (shown.size() == expected.size()) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED %s %s: the view shows %dx%d of %dx%d\n", qPrintable(picture), step,
                    shown.width(), shown.height(), expected.width(), expected.height());
    }
}

void clickButton(platform::qt::QtFormWindow& window, const char* name) {
    window.button(QString::fromLatin1(name))->click();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--view") == 0) { // the view's size on a screenshot
        const QRect view = shownView(
            QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32));
        std::printf("%dx%d\n", view.width(), view.height());
        return 0;
    }
    platform::decoders::useLinkedFormats();
    platform::ImageFileLoader::startReaders();
    QApplication application(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const QString picture = QString::fromLocal8Bit(argv[i]);
        const QString name = QFileInfo(picture).fileName();
        testing_support::KelmoHarness kelmo(picture);
        platform::qt::QtFormWindow window(kelmo.model().window);
        kelmo.load();
        window.showForm();
        kelmo.form().Form_FirstShown();
        check(window, kelmo.model(), "start-up", name);
        clickButton(window, "Aumenta");
        check(window, kelmo.model(), "enlarge", name);
        clickButton(window, "Disminuye");
        clickButton(window, "Disminuye");
        check(window, kelmo.model(), "reduce twice", name);
        clickButton(window, "Restore");
        check(window, kelmo.model(), "restore", name);
        // To the next picture of the folder; from the last, back to the one before it.
        QTest::keyClick(window.button(QStringLiteral("Aumenta")),
                        i + 1 < argc ? Qt::Key_Right : Qt::Key_Left);
        QElapsedTimer clock;
        clock.start();
        while ((kelmo.backgroundReader.busy() || kelmo.model().shownFile == picture) &&
               clock.elapsed() < 10000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        check(window, kelmo.model(), "a move through the folder", name);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
