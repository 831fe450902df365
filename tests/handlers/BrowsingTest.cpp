// SPDX-License-Identifier: MIT
// Going through the folder of the picture shown, and pictures dropped on the window.

#include "browsing/PictureFolder.h"
#include "platform/qt/QtFormWindow.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

constexpr std::int16_t keyPageUp = 33, keyPageDown = 34, keyEnd = 35, keyHome = 36, keyLeft = 37,
                       keyRight = 39;

// Lets the event loop run until the background reader has handed over its picture.
// Lets the reads under way end and, after files were added or removed, the system tell of the
// folder's change, as it has by the time a person presses the next key (Windows tells from a
// thread of its own, a moment later).
void settle(KelmoHarness& kelmo, int atLeastMs = 20) {
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    } while ((kelmo.backgroundReader.busy() || clock.elapsed() < atLeastMs) &&
             clock.elapsed() < 10000);
}

TEST(PictureFolder, ListsPicturesAsAPersonReadsTheirNames) {
    PictureFiles files;
    for (const char* name : {"IMG_10.jpg", "IMG_2.JPG", "img_1.png", "Árbol.gif", "zeta.webp",
                             "arbol.gif", "Bosque.Jpeg", ".oculta.png", "notas.txt", "sin"}) {
        files.writeText(QString::fromUtf8(name), "x");
    }
    QDir(files.path({})).mkdir(QStringLiteral("carpeta.png"));
    browsing::PictureFolder folder(files.path(QStringLiteral("IMG_2.JPG")));
    const QStringList expected = {QStringLiteral("arbol.gif"),   QString::fromUtf8("Árbol.gif"),
                                  QStringLiteral("Bosque.Jpeg"), QStringLiteral("img_1.png"),
                                  QStringLiteral("IMG_2.JPG"),   QStringLiteral("IMG_10.jpg"),
                                  QStringLiteral("zeta.webp")};
    EXPECT_EQ(folder.names(), expected);
    // A name no longer there stands where it would be listed.
    EXPECT_EQ(folder.placeOf(QStringLiteral("IMG_3.jpg")), 5);
    EXPECT_EQ(folder.placeOf(QStringLiteral("zzz.jpg")), 7);
}

struct Browsing : ::testing::Test {
    PictureFiles files;
    std::unique_ptr<KelmoHarness> kelmo;
    QString a, b, broken, d;

    Browsing() {
        a = files.write(QStringLiteral("a1.bmp"), 40, 30);
        b = files.write(QStringLiteral("a2.png"), 50, 20, "png");
        broken = files.writeText(QStringLiteral("a3.jpg"), "no es una imagen");
        d = files.write(QStringLiteral("a10.bmp"), 20, 60);
    }
    void start(const QString& commandLine) {
        kelmo = std::make_unique<KelmoHarness>(commandLine);
        kelmo->load();
        kelmo->form().Form_FirstShown();
        settle(*kelmo);
    }
    void press(std::int16_t key) {
        kelmo->form().Form_KeyDown(key, 0);
        settle(*kelmo);
    }
    QString caption() const { return kelmo->model().window.caption(); }
    QSize shown() const { return kelmo->model().Image1.picture().size(); }
};

TEST_F(Browsing, KeysGoThroughTheFolderPastABrokenFileAndStopAtTheEnds) {
    start(a);
    const struct {
        std::int16_t key;
        QString caption; // the picture shown afterwards
        QSize size;
        int messages;
    } steps[] = {
        {keyLeft, QStringLiteral("Kelmo"), {40, 30}, 0},
        {keyRight, b, {50, 20}, 0},
        {keyPageDown, b, {50, 20}, 1},
        {keyRight, d, {20, 60}, 1},
        {keyRight, d, {20, 60}, 1},
        {keyPageDown, d, {20, 60}, 1},
        {keyHome, a, {40, 30}, 1},
        {keyEnd, d, {20, 60}, 1},
        {keyPageUp, d, {20, 60}, 2},
        {keyLeft, b, {50, 20}, 2},
    };
    for (const auto& step : steps) {
        press(step.key);
        SCOPED_TRACE(step.key);
        EXPECT_EQ(QDir::cleanPath(caption()), QDir::cleanPath(step.caption));
        EXPECT_EQ(shown(), step.size);
        EXPECT_EQ(int(kelmo->messages.shown.size()), step.messages);
    }
    EXPECT_EQ(kelmo->messages.shown.back().text, QStringLiteral("Imposible encontrar el archivo ") +
                                                     QDir(files.path({})).filePath("a3.jpg"));
}

TEST_F(Browsing, AMoveShowsThePictureAsTheOpenCommandDoes) {
    start(a);
    kelmo->form().Image1_MouseDown(1, 0, 30, 30);
    kelmo->form().Image1_MouseMove(1, 0, 300, 300);
    kelmo->form().Zoom_Click();
    press(keyRight);
    PictureFiles other;
    KelmoHarness opened;
    opened.load();
    opened.prompter.fileAnswers.push_back(b);
    opened.form().SubMenuAbrir_Click();
    const app::KelmoModel& m = kelmo->model();
    const app::KelmoModel& o = opened.model();
    EXPECT_EQ(m.window.Width(), o.window.Width());
    EXPECT_EQ(m.window.Height(), o.window.Height());
    EXPECT_EQ(m.state.FactorZoomY, 1.0);
    EXPECT_EQ(m.state.RelPanoramicaX, o.state.RelPanoramicaX);
    EXPECT_FALSE(m.Recuadro.Visible());
    EXPECT_FALSE(m.CuadroEnfoque.Visible());
}

TEST_F(Browsing, FilesAddedAndRemovedCountFromTheNextPress) {
    start(b);
    const QString between = files.write(QStringLiteral("a2b.bmp"), 11, 11);
    QFile::remove(broken);
    settle(*kelmo, 500);
    press(keyRight);
    EXPECT_EQ(shown(), QSize(11, 11));
    // The picture shown is deleted: next and previous go from its place.
    QFile::remove(between);
    settle(*kelmo, 500);
    press(keyRight);
    EXPECT_EQ(shown(), QSize(20, 60));
    QFile::remove(d);
    settle(*kelmo, 500);
    press(keyLeft);
    EXPECT_EQ(shown(), QSize(50, 20));
    EXPECT_TRUE(kelmo->messages.shown.empty());
}

TEST_F(Browsing, TheBuiltInPictureHasNoFolder) {
    start({});
    const QSize builtIn = shown();
    for (const std::int16_t key : {keyRight, keyLeft, keyHome, keyEnd}) {
        press(key);
    }
    EXPECT_EQ(shown(), builtIn);
    EXPECT_EQ(caption(), QStringLiteral("Kelmo"));
}

TEST_F(Browsing, ADroppedLocalFileOpensAndAnythingElseIsRefused) {
    start(a);
    platform::qt::QtFormWindow window(kelmo->model().window);
    const auto mime = [](const QList<QUrl>& urls, const QString& text) {
        auto* data = new QMimeData;
        if (!urls.isEmpty()) {
            data->setUrls(urls);
        }
        if (!text.isEmpty()) {
            data->setText(text);
        }
        return data;
    };
    const struct {
        QMimeData* data;
        bool accepted;
        QSize shownAfter;
    } drops[] = {
        {mime({}, QStringLiteral("un texto")), false, {40, 30}},
        {mime({QUrl(QStringLiteral("https://example.org/foto.png"))}, {}), false, {40, 30}},
        {mime({QUrl::fromLocalFile(d), QUrl::fromLocalFile(b)}, {}), true, {20, 60}},
    };
    for (const auto& drop : drops) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, drop.data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_EQ(enter.isAccepted(), drop.accepted);
        if (drop.accepted) {
            QDropEvent event(QPointF(10, 10), Qt::CopyAction, drop.data, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(&window, &event);
        }
        EXPECT_EQ(shown(), drop.shownAfter);
        delete drop.data;
    }
    // The dropped file's folder is the one gone through.
    press(keyLeft);
    EXPECT_EQ(shown(), QSize(20, 60)); // a10 comes after the broken a3, which says so
    EXPECT_EQ(kelmo->messages.shown.size(), 1u);
    press(keyLeft);
    EXPECT_EQ(shown(), QSize(50, 20));
}

TEST_F(Browsing, TheFolderKeysReachTheWindowFromTheFocusedButtonAndLeaveTheFocusThere) {
    start(a);
    platform::qt::QtFormWindow window(kelmo->model().window);
    window.showForm();
    QApplication::processEvents();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    QTest::keyClick(focused, Qt::Key_Right);
    settle(*kelmo);
    EXPECT_EQ(shown(), QSize(50, 20));
    EXPECT_EQ(QApplication::focusWidget(), focused);
}

} // namespace
