// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

using testing_support::KelmoHarness;
using testing_support::patternPixel;
using testing_support::PictureFiles;

namespace {

// A 400 × 400 pattern picture shown at start, unzoomed, at 15 twips per pixel.
struct Output : ::testing::Test {
    PictureFiles files;
    std::unique_ptr<KelmoHarness> kelmo;
    Output() {
        kelmo = std::make_unique<KelmoHarness>(files.write(QStringLiteral("fuente.bmp"), 400, 400));
        kelmo->load();
    }
    app::KelmoForm& f() { return kelmo->form(); }
    // A selection dx, dy twips from the view's top-left corner.
    void select(float dx, float dy, float width, float height) {
        kelmo->model().Recuadro.place(1320 + dx, dy, width, height);
        kelmo->model().Recuadro.setVisible(true);
    }
    static void expectPatternCut(const QImage& image, QRect cut) {
        ASSERT_EQ(image.size(), cut.size());
        for (const QPoint p : {QPoint(0, 0), QPoint(cut.width() - 1, cut.height() - 1),
                               QPoint(cut.width() / 2, cut.height() / 3)}) {
            EXPECT_EQ(image.pixel(p) & 0xffffff,
                      patternPixel(cut.x() + p.x(), cut.y() + p.y()) & 0xffffff);
        }
    }
    static QImage clipboardImage() { return QGuiApplication::clipboard()->image(); }
    void expectNoSelectionMessage() {
        ASSERT_EQ(kelmo->messages.shown.size(), 1u);
        EXPECT_EQ(kelmo->messages.shown[0].text, QStringLiteral("No se ha seleccionado el área"));
        EXPECT_EQ(kelmo->messages.shown[0].title, QStringLiteral("Error"));
        EXPECT_EQ(kelmo->messages.shown[0].icon, platform::MessageIcon::Critical);
    }
};

TEST_F(Output, CopyPutsTheSourcePixelsOfTheSelectionOnTheClipboard) {
    const struct {
        double factorVentana;
        QRect cut;
    } cases[] = {{1.0, {168, 216, 81, 33}}, {1.5, {112, 144, 54, 22}}};
    for (const auto& c : cases) {
        kelmo->state().FactorVentana = c.factorVentana;
        select(2520, 3240, 1215, 495);
        f().ToClipBoard_Click();
        expectPatternCut(clipboardImage(), c.cut);
        EXPECT_TRUE(kelmo->model().Recuadro.Visible());
    }
    // Ctrl+C runs the same command.
    QGuiApplication::clipboard()->clear();
    f().Form_KeyDown(67, 2);
    expectPatternCut(clipboardImage(), cases[1].cut);
}

// Copy and save cut what they would after a drag to the same corner, also in an enlarged view and
// after a zoom, where a screen pixel is not a source pixel.
TEST_F(Output, AKeyboardSelectionCutsWhatTheSameDragCuts) {
    const struct {
        const char* what;
        bool enlarged, zoomed;
        int across, down; // screen pixels
    } cases[] = {
        {"natural size", false, false, 7, 5},
        {"enlarged", true, false, 7, 5},
        {"enlarged and zoomed", true, true, 23, 11},
    };
    for (const auto& c : cases) {
        QImage cuts[2];
        for (const bool byKeys : {true, false}) {
            KelmoHarness fresh(files.path(QStringLiteral("fuente.bmp")));
            fresh.load();
            if (c.enlarged) {
                fresh.form().Aumenta_Click();
            }
            if (c.zoomed) {
                fresh.form().Image1_MouseDown(1, 0, 300, 450);
                fresh.form().Image1_MouseMove(1, 0, 2400, 1800);
                fresh.form().Zoom_Click();
            }
            if (byKeys) {
                for (int i = 0; i < c.across; ++i) {
                    fresh.form().Form_KeyDown(39, 1);
                }
                for (int i = 0; i < c.down; ++i) {
                    fresh.form().Form_KeyDown(40, 1);
                }
            } else {
                fresh.form().Image1_MouseDown(1, 0, 0, 0);
                fresh.form().Image1_MouseMove(1, 0, float(c.across * 15), float(c.down * 15));
            }
            fresh.form().ToClipBoard_Click();
            cuts[byKeys ? 0 : 1] = clipboardImage();
        }
        EXPECT_FALSE(cuts[0].isNull()) << c.what;
        EXPECT_EQ(cuts[0], cuts[1]) << c.what;
    }
}

TEST_F(Output, ClipRoundsExactHalvesToEven) {
    const struct {
        float dx;
        int clipX;
    } cases[] = {{37.5f, 2}, {52.5f, 4}, {22.5f, 2}, {67.5f, 4}};
    for (const auto& c : cases) {
        select(c.dx, 0, 150, 150);
        f().ToClipBoard_Click();
        EXPECT_EQ(kelmo->model().PictureClip.ClipX(), c.clipX) << c.dx;
    }
}

TEST_F(Output, CopyWithoutSelectionOrWithAnEmptyCutLeavesTheClipboard) {
    QImage before(5, 5, QImage::Format_RGB32);
    before.fill(Qt::magenta);
    QGuiApplication::clipboard()->setImage(before);
    f().ToClipBoard_Click();
    expectNoSelectionMessage();
    // A selection of no width cannot be cut: the error is reported and the clipboard keeps what
    // the user had on it.
    kelmo->messages.shown.clear();
    select(100, 100, 0, 300);
    kelmo->model().window.runHandler([&] { f().ToClipBoard_Click(); });
    EXPECT_EQ(kelmo->messages.shown.size(), 1u);
    EXPECT_EQ(clipboardImage().pixel(2, 2), before.pixel(2, 2));
}

TEST_F(Output, SaveWritesABitmapUnderExactlyTheChosenName) {
    for (const char* name : {"recorte", "recorte.gif"}) {
        const QString path = files.path(QString::fromUtf8(name));
        select(2520, 3240, 1215, 495);
        kelmo->prompter.fileAnswers.push_back(path);
        f().SaveSelected_Click();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(file.read(2) == "BM") << name;
        QImage saved;
        ASSERT_TRUE(saved.load(path, "bmp"));
        expectPatternCut(saved, QRect(168, 216, 81, 33));
    }
    EXPECT_EQ(kelmo->model().Dialogo.Filter, QStringLiteral("*.bmp;*.gif;*.ico"));
    // The next open dialog shows the filter the save left.
    f().SubMenuAbrir_Click();
    EXPECT_EQ(kelmo->prompter.patterns.back(), (QStringList{"*.bmp", "*.gif", "*.ico"}));
}

TEST_F(Output, SaveWithoutSelectionShowsTheMessageAndNoDialog) {
    f().SaveSelected_Click();
    expectNoSelectionMessage();
    EXPECT_EQ(kelmo->prompter.saveCount, 0);
}

TEST_F(Output, CancelledSaveWritesNothing) {
    select(0, 0, 300, 300);
    kelmo->prompter.fileAnswers.push_back(std::nullopt);
    f().SaveSelected_Click();
    EXPECT_EQ(kelmo->prompter.saveCount, 1);
    EXPECT_TRUE(kelmo->messages.shown.empty());
}

#if !defined(_WIN32)
TEST_F(Output, FailedSaveLeavesThePreviousFileByteForByte) {
    const QString path = files.path(QStringLiteral("existente.bmp"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(200, 'x'));
    }
    select(0, 0, 3000, 3000); // a 200 × 200 cut, some 120 kB as a bitmap
    kelmo->prompter.fileAnswers.push_back(path);
    // A file-size limit makes every write past 4 kB fail, as a full disk does.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    kelmo->model().window.runHandler([&] { f().SaveSelected_Click(); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray(200, 'x'));
    ASSERT_EQ(kelmo->messages.shown.size(), 1u);
    EXPECT_TRUE(kelmo->messages.shown[0].text.contains(path));
}
#endif

int pdfPageCount(const QByteArray& pdf) {
    return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "));
}

QList<QSize> pdfImageSizes(const QByteArray& pdf) {
    QList<QSize> sizes;
    static const QRegularExpression re(QStringLiteral("/Width (\\d+)\\s*/Height (\\d+)"));
    for (auto it = re.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const auto match = it.next();
        sizes << QSize(match.captured(1).toInt(), match.captured(2).toInt());
    }
    return sizes;
}

struct Printing : Output {
    QString pdf;
    Printing() {
        pdf = files.path(QStringLiteral("salida.pdf"));
        kelmo->printer.device().setOutputFormat(QPrinter::PdfFormat);
        kelmo->printer.device().setOutputFileName(pdf);
    }
    QByteArray printed() {
        QFile file(pdf);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(Printing, CopiesGiveThatManyPagesAndChoiceSelectsThePicture) {
    const struct {
        std::int16_t copies;
        bool selection;
        bool zoomed;
        int pages;
        QSize picture;
    } cases[] = {
        {3, false, false, 3, {400, 400}},
        {1, false, true, 1, {400, 400}},
        {1, true, true, 1, {81, 33}},
        {2, true, false, 2, {400, 400}},
    };
    for (const auto& c : cases) {
        f().Restore_Click();
        if (c.zoomed) {
            select(2520, 3240, 1215, 495);
            f().Zoom_Click();
        }
        QFile::remove(pdf);
        kelmo->prompter.printAnswers.push_back(components::PrintChoice{c.copies, c.selection});
        f().SubMenuImprimirImagen_Click();
        const QByteArray document = printed();
        EXPECT_EQ(pdfPageCount(document), c.pages) << c.copies;
        const QList<QSize> sizes = pdfImageSizes(document);
        ASSERT_FALSE(sizes.isEmpty());
        EXPECT_EQ(sizes.front(), c.picture);
        EXPECT_FALSE(kelmo->model().Dialogo.CancelError);
        EXPECT_EQ(kelmo->printer.copies(), 1);
    }
    EXPECT_TRUE(kelmo->messages.shown.empty());
}

TEST_F(Printing, CancelledPrintAndSaveRaiseNothing) {
    f().SubMenuImprimirImagen_Click();
    EXPECT_FALSE(kelmo->model().Dialogo.CancelError);
    EXPECT_TRUE(printed().isEmpty());
    f().SubMenuConfigImpresora_Click();
    EXPECT_FALSE(kelmo->model().Dialogo.CancelError);
    EXPECT_EQ(kelmo->model().Dialogo.Flags, 64);
    select(0, 0, 300, 300);
    f().SaveSelected_Click();
    EXPECT_TRUE(kelmo->messages.shown.empty());
}

// A picture larger than the page is reduced to fit, keeping its proportions; one that fits keeps
// its own size. (Printer dots; a printable area of 4800 × 6600, A4 at 600 dpi.)
TEST(PrintPlacement, PicturesLargerThanThePageAreReducedToFit) {
    const QSizeF page(4800, 6600);
    const struct {
        QPointF at;
        QSizeF own;
        QRectF placed;
    } cases[] = {
        {{0, 0}, {1000, 500}, {0, 0, 1000, 500}},
        {{0, 0}, {37500, 25000}, {0, 0, 4800, 3200}}, // a 6000 × 4000 photograph, 150 cm wide
        {{0, 0}, {2400, 13200}, {0, 0, 1200, 6600}},
        {{800, 600}, {8000, 1000}, {800, 600, 4000, 500}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::qt::fitOnPage(c.at, c.own, page), c.placed) << c.own.width();
    }
}

// Without a printer on the machine, printing goes to a PDF file, as to a PDF printer.
TEST(PrintPlacement, WithoutAPrinterThePdfFileOutputIsThePrinter) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) {
        GTEST_SKIP() << "this machine has printers";
    }
    platform::qt::QtPrinter printer;
    EXPECT_EQ(printer.device().outputFormat(), QPrinter::PdfFormat);
    EXPECT_TRUE(printer.device().outputFileName().endsWith(QStringLiteral("imagen.pdf")));
}

} // namespace
