// SPDX-License-Identifier: MIT
#include "QtReadProgress.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStyle>
#include <QTimer>

namespace platform::qt {

void showFileName(QProgressDialog& dialog, const QString& fileName) {
    auto* label = new QLabel(QStringLiteral("Leyendo «%1»…").arg(fileName));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::Alignment(
        dialog.style()->styleHint(QStyle::SH_ProgressDialog_TextLabelAlignment, nullptr, &dialog)));
    dialog.setLabel(label);
}

bool QtReadProgress::showUntil(const QString& fileName, const std::function<bool()>& finished) {
    QProgressDialog dialog(QString(), QStringLiteral("Cancelar"), 0, 0, parent_);
    showFileName(dialog, fileName);
    dialog.setWindowTitle(QStringLiteral("Kelmo"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    // A screen reader names the busy bar for the file it stands for.
    if (auto* bar = dialog.findChild<QProgressBar*>()) {
        bar->setAccessibleName(fileName);
    }
    // The dialog ends when the read has finished; ended any other way ("Cancelar", Esc, the
    // window's close button), the read is cancelled.
    bool readFinished = finished();
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog,
                     [&] { dialog.done(QDialog::Rejected); });
    QTimer poll;
    poll.setInterval(15);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (finished()) {
            readFinished = true;
            dialog.done(QDialog::Accepted);
        }
    });
    poll.start();
    // The wait cursor of the command is not the dialog's: its button is there to be pressed.
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    if (!readFinished) {
        dialog.exec();
    }
    QGuiApplication::restoreOverrideCursor();
    return readFinished;
}

} // namespace platform::qt
