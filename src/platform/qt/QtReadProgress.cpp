// SPDX-License-Identifier: MIT
#include "QtReadProgress.h"

#include <QGuiApplication>
#include <QProgressDialog>
#include <QTimer>

namespace platform::qt {

bool QtReadProgress::showUntil(const QString& fileName, const std::function<bool()>& finished) {
    QProgressDialog dialog(QStringLiteral("Leyendo «%1»…").arg(fileName),
                           QStringLiteral("Cancelar"), 0, 0, parent_);
    dialog.setWindowTitle(QStringLiteral("Kelmo"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    bool cancelled = false;
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
        cancelled = true;
        dialog.done(QDialog::Rejected);
    });
    QTimer poll;
    poll.setInterval(15);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (finished()) {
            dialog.done(QDialog::Accepted);
        }
    });
    poll.start();
    // The wait cursor of the command is not the dialog's: its button is there to be pressed.
    QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    if (!finished()) {
        dialog.exec();
    }
    QGuiApplication::restoreOverrideCursor();
    return !cancelled;
}

} // namespace platform::qt
