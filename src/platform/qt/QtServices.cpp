// SPDX-License-Identifier: MIT
#include "QtServices.h"

#include "DesktopIntegration.h"
#include "platform/BusyCursor.h"
#include "platform/PlatformError.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QScreen>
#include <QStandardPaths>
#include <utility>

namespace platform::qt {

void QtMessageBox::show(const QString& text, const QString& title, MessageIcon icon) {
    ensureSpanishTranslations();
    QMessageBox box(parent_);
    configureBox(box, text, title, icon);
    box.exec();
}

void configureBox(QMessageBox& box, const QString& text, const QString& title, MessageIcon icon) {
    box.setIcon(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
}

FixedScreenMetrics primaryScreenMetrics() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return FixedScreenMetrics(15.0f, 15.0f);
    }
    return FixedScreenMetrics::fromLogicalDpi(screen->logicalDotsPerInchX(),
                                              screen->logicalDotsPerInchY());
}

QSize QtScreenArea::availablePixels() const {
    const QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry().size()
                             : FixedScreenArea().availablePixels();
}

QPrinter& QtPrinter::device() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // Where the system knows no printer, printing goes to a PDF file, as a PDF printer would
        // on a desktop that always has one.
        if (QPrinterInfo::availablePrinterNames().isEmpty() &&
            printer_->outputFileName().isEmpty()) {
            printer_->setOutputFormat(QPrinter::PdfFormat);
            const QString folder =
                QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            printer_->setOutputFileName(QDir(folder.isEmpty() ? QDir::homePath() : folder)
                                            .filePath(QStringLiteral("imagen.pdf")));
        }
    }
    return *printer_;
}

QtPrinter::QtPrinter() {
    const FixedScreenMetrics metrics = primaryScreenMetrics();
    twipsPerPixelX_ = metrics.twipsPerPixelX();
    twipsPerPixelY_ = metrics.twipsPerPixelY();
}

void QtPrinter::setCopies(std::int16_t copies) {
    if (copies < 1) {
        throw PlatformError(ErrorNumber::InvalidProperty);
    }
    copies_ = copies;
}

void QtPrinter::paintPicture(const Picture& picture, float x, float y) {
    if (picture.isNull()) {
        throw PlatformError(ErrorNumber::InvalidPicture);
    }
    page_.push_back(Placed{picture, x, y});
}

QRectF fitOnPage(QPointF topLeft, QSizeF ownSize, QSizeF printable) {
    const QSizeF room(printable.width() - topLeft.x(), printable.height() - topLeft.y());
    if (ownSize.isEmpty() || room.isEmpty()) {
        return QRectF(topLeft, ownSize);
    }
    const double scale =
        std::min({1.0, room.width() / ownSize.width(), room.height() / ownSize.height()});
    return QRectF(topLeft, ownSize * scale);
}

void QtPrinter::drawPage(QPainter& painter) const {
    // Positions are twips on the page; a picture keeps the size it has on the screen where the
    // page has room for it, and is reduced to fit where it has not.
    const double dotsPerTwipX = printer_->resolution() / 1440.0;
    const double dotsPerTwipY = printer_->resolution() / 1440.0;
    const QSizeF printable = printer_->pageRect(QPrinter::DevicePixel).size();
    for (const Placed& placed : page_) {
        const QSizeF ownSize(double(placed.picture.width()) * twipsPerPixelX_ * dotsPerTwipX,
                             double(placed.picture.height()) * twipsPerPixelY_ * dotsPerTwipY);
        const QRectF target = fitOnPage(QPointF(placed.x * dotsPerTwipX, placed.y * dotsPerTwipY),
                                        ownSize, printable);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != ownSize);
        painter.drawImage(target, placed.picture.pixels(), QRectF(placed.picture.area()));
    }
}

void QtPrinter::endDoc() {
    // A document's copy count belongs to that document.
    const int copies = std::exchange(copies_, 1);
    if (page_.empty()) {
        return;
    }
    const BusyCursor busy;
    QPrinter& printer = device();
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.isValid()) {
        page_.clear();
        throw PlatformError(ErrorNumber::PrinterError); // said, not silently dropped
    }
    const bool deviceCopies = printer.supportsMultipleCopies();
    printer.setCopyCount(deviceCopies ? copies : 1);
    QPainter painter;
    const bool started = painter.begin(&printer);
    if (started) {
        for (int copy = 0; copy < (deviceCopies ? 1 : copies); ++copy) {
            if (copy > 0) {
                printer.newPage();
            }
            drawPage(painter);
        }
        painter.end();
    }
    page_.clear();
    printer.setCopyCount(1);
    if (!started) {
        throw PlatformError(ErrorNumber::PrinterError);
    }
}

std::optional<QString> QtDialogPrompter::askFileName(const QString& title,
                                                     const QStringList& patterns, bool save) {
    ensureSpanishTranslations();
    QFileDialog dialog(parent_, title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The command itself replaces an existing file without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!patterns.isEmpty()) {
        const QString joined = patterns.join(QLatin1Char(' '));
        dialog.setNameFilter(QStringLiteral("%1 (%1)").arg(joined));
    } else if (!save) {
        // No filter set yet: every picture Kelmo reads, or any file (the content decides).
        dialog.setNameFilters(
            {QStringLiteral("Imágenes (%1)").arg(pictures_.join(QLatin1Char(' '))),
             QStringLiteral("Todos los archivos (*)")});
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtDialogPrompter::askOpenFileName(const QString& title,
                                                         const QStringList& patterns) {
    return askFileName(title, patterns, false);
}

std::optional<QString> QtDialogPrompter::askSaveFileName(const QString& title,
                                                         const QStringList& patterns) {
    return askFileName(title, patterns, true);
}

std::optional<components::PrintChoice>
QtDialogPrompter::askPrint(const components::PrintOptions& options) {
    ensureSpanishTranslations();
    QPrinter& printer = printer_.device();
    QPrintDialog dialog(&printer, parent_);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, options.offerSelection);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, options.offerPageRange);
    // The PDF file output is always among the printers: on a machine without a printer it is
    // the one there is. (The flag that hides the print-to-file choice has nothing to hide here.)
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    components::PrintChoice choice;
    choice.copies = std::int16_t(std::clamp(printer.copyCount(), 1, 32767));
    choice.selection = printer.printRange() == QPrinter::Selection;
    // The print command decides the copy count from what the dialog reports.
    printer.setCopyCount(1);
    return choice;
}

bool QtDialogPrompter::askPrintSetup() {
    ensureSpanishTranslations();
    QPageSetupDialog dialog(&printer_.device(), parent_);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace platform::qt
