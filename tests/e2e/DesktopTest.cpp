// SPDX-License-Identifier: MIT
// How Kelmo fits the desktop: high-DPI screens, Qt's own texts in Spanish, the wait cursor, the
// application icon and the command line as each system hands it over.

#include "platform/PlatformError.h"
#include "platform/qt/DesktopIntegration.h"
#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtReadProgress.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStyle>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Run by ctest a second time with QT_SCALE_FACTOR=2; skipped at the ordinary scale.
TEST(HighDpi, GeometryStaysInLogicalPixelsAndIconsUseEveryDevicePixel) {
    if (qApp->devicePixelRatio() < 2.0) {
        GTEST_SKIP() << "needs QT_SCALE_FACTOR=2";
    }
    testing_support::KelmoHarness kelmo;
    kelmo.screen = platform::qt::primaryScreenMetrics();
    EXPECT_EQ(kelmo.screen.twipsPerPixelX(), 15.0f); // logical dots per inch stay 96
    platform::qt::QtFormWindow window(kelmo.model().window);
    kelmo.load();
    window.showForm();
    QToolButton* zoom = window.button(QStringLiteral("Zoom"));
    EXPECT_EQ(zoom->geometry(), QRect(8, 48, 33, 41));
    const QPixmap icon = zoom->icon().pixmap(zoom->iconSize(), 2.0);
    EXPECT_EQ(icon.devicePixelRatio(), 2.0);
    EXPECT_EQ(icon.width(), zoom->iconSize().width() * 2);
    // The picture is drawn at natural size in logical pixels: 256 logical, 512 device pixels.
    const QImage shown = window.surface()->grab().toImage();
    EXPECT_EQ(shown.devicePixelRatio(), 2.0);
    EXPECT_EQ(window.surface()->pixelRect(kelmo.model().Image1), QRect(88, 0, 256, 256));
}

TEST(Desktop, QtsOwnDialogTextsAreSpanish) {
    if (!platform::qt::installSpanishTranslations(*qApp)) {
        GTEST_SKIP() << "Qt's Spanish translations are not installed";
    }
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancelar"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Open"), QStringLiteral("Abrir"));
}

// A file's name is shown as the characters it is made of: taken for rich text, its tags would be
// drawn as markup, and an <img> among them would have Qt read a picture outside every reader.
TEST(Desktop, MessageBoxesAndTheProgressWindowShowTaggedNamesAsTheyAre) {
    for (const char* name : {"<b>negrita</b>.jpg", "<img src=\"/tmp/otra.png\">.png"}) {
        const QString text = QStringLiteral("Imposible encontrar el archivo /tmp/") + name;
        QMessageBox box;
        platform::qt::configureBox(box, text, QStringLiteral("Kelmo"),
                                   platform::MessageIcon::Critical);
        EXPECT_EQ(box.textFormat(), Qt::PlainText) << name;
        EXPECT_EQ(box.text(), text);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Kelmo"));
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);

        QProgressDialog progress;
        platform::qt::showFileName(progress, QString::fromUtf8(name));
        const QList<QLabel*> labels = progress.findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels[0]->textFormat(), Qt::PlainText) << name;
        EXPECT_EQ(labels[0]->text(), QStringLiteral("Leyendo «%1»…").arg(name));
    }
}

TEST(Desktop, WaitCursorIsGoneOnceLoadingAndSavingEnd) {
    testing_support::PictureFiles files;
    platform::ImageFileLoader loader;
    const platform::Picture picture =
        loader.loadPicture(files.write(QStringLiteral("a.bmp"), 20, 20));
    EXPECT_THROW(loader.loadPicture(files.path(QStringLiteral("no.bmp"))), platform::PlatformError);
    platform::BmpFileSaver().savePicture(picture, files.path(QStringLiteral("b.bmp")));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Desktop, WindowCarriesTheApplicationIcon) {
    platform::qt::installApplicationIcon(*qApp);
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_TRUE(QApplication::windowIcon().availableSizes().contains(QSize(256, 256)));
}

// The form's height counts the menu bar inside the window, so it must stay there even where the
// desktop offers a global menu; and its overflow button has an icon without any picture file.
TEST(Desktop, MenuBarStaysInTheWindowAndItsOverflowIconIsDrawn) {
    testing_support::KelmoHarness kelmo;
    platform::qt::QtFormWindow window(kelmo.model().window);
    EXPECT_FALSE(window.menuBar()->isNativeMenuBar());
    for (auto which :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton}) {
        const QImage icon = window.style()->standardIcon(which).pixmap(16, 16).toImage();
        ASSERT_FALSE(icon.isNull());
        int inked = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                inked += qAlpha(icon.pixel(x, y)) > 128 ? 1 : 0;
            }
        }
        EXPECT_GT(inked, 10);
    }
}

TEST(Desktop, WindowsCommandLineIsTheTextAfterTheProgramsName) {
    const struct {
        const char* whole;
        const char* text;
    } cases[] = {
        {"kelmo.exe", ""},
        {"kelmo.exe C:\\fotos\\a.bmp", "C:\\fotos\\a.bmp"},
        {"\"C:\\Program Files\\Kelmo\\kelmo.exe\"  \"C:\\mis fotos\\a.bmp\"",
         "\"C:\\mis fotos\\a.bmp\""},
        {"kelmo a b", "a b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ArgumentsCommandLine::afterProgramName(QString::fromUtf8(c.whole)),
                  QString::fromUtf8(c.text))
            << c.whole;
    }
}

} // namespace
