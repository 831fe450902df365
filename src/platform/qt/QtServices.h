// SPDX-License-Identifier: MIT
#pragma once

// The services that need a person or a device: message boxes, the file and print dialogs, the
// printer, and the screen's metrics.

#include "components/CommonDialog.h"
#include "platform/Services.h"
#include "platform/Twips.h"

#include <QPointer>
#include <QPrinter>
#include <QWidget>
#include <memory>
#include <vector>

class QMessageBox;

namespace platform::qt {

class QtMessageBox : public MessageBoxService {
  public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void show(const QString& text, const QString& title, MessageIcon icon) override;

  private:
    QPointer<QWidget> parent_;
};

// What the message box shows: the text as it is, even where it looks like markup (a file's name
// with tags in it), which as rich text would be drawn as such, and whose <img> would have Qt
// read a picture here, outside every reader.
void configureBox(QMessageBox& box, const QString& text, const QString& title, MessageIcon icon);

// Twips per pixel from the primary screen's logical dots per inch.
FixedScreenMetrics primaryScreenMetrics();

// The available area of the screen the window is on; the primary screen's before there is one.
class QtScreenArea : public ScreenArea {
  public:
    void setWindow(QWidget* window) { window_ = window; }
    QSize availablePixels() const override;

  private:
    QPointer<QWidget> window_;
};

// The printer. What is drawn on a page is kept until the document ends, so that a printer that
// cannot make copies itself (a PDF file, for one) gets the page as many times as copies were
// asked for.
// Where a picture drawn at `ownSize` from `topLeft` goes on a page whose printable area is
// `printable` (all in printer dots): at its own size where it fits, otherwise reduced to fit,
// keeping its proportions and its top-left corner.
QRectF fitOnPage(QPointF topLeft, QSizeF ownSize, QSizeF printable);

class QtPrinter : public Printer {
  public:
    QtPrinter();
    // The printing device, made on first use: making it asks the print system for its printers,
    // which start-up has no need to wait for.
    QPrinter& device();

    void setCopies(std::int16_t copies) override;
    std::int16_t copies() const override { return copies_; }
    void paintPicture(const Picture& picture, float x, float y) override;
    void endDoc() override;

  private:
    struct Placed {
        Picture picture;
        float x;
        float y;
    };
    void drawPage(QPainter& painter) const;

    std::unique_ptr<QPrinter> printer_;
    std::int16_t copies_ = 1;
    std::vector<Placed> page_;
    float twipsPerPixelX_;
    float twipsPerPixelY_;
};

// The toolkit's own file, print and page set-up dialogs. The print dialogs work on the printer
// that prints, so what the person sets there is used by the next print.
class QtDialogPrompter : public components::DialogPrompter {
  public:
    // pictures: the name patterns of the pictures Kelmo reads, the open dialog's first filter.
    QtDialogPrompter(QtPrinter& printer, QStringList pictures)
        : printer_(printer), pictures_(std::move(pictures)) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<QString> askOpenFileName(const QString& title,
                                           const QStringList& patterns) override;
    std::optional<QString> askSaveFileName(const QString& title,
                                           const QStringList& patterns) override;
    std::optional<components::PrintChoice>
    askPrint(const components::PrintOptions& options) override;
    bool askPrintSetup() override;

  private:
    std::optional<QString> askFileName(const QString& title, const QStringList& patterns,
                                       bool save);

    QtPrinter& printer_;
    QStringList pictures_;
    QPointer<QWidget> parent_;
};

} // namespace platform::qt
