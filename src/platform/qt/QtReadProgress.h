// SPDX-License-Identifier: MIT
#pragma once

// The progress window of a long read: the file's name, a busy bar and "Cancelar" (or Esc).

#include "platform/ReadProgress.h"

#include <QPointer>
#include <QWidget>

class QProgressDialog;

namespace platform::qt {

class QtReadProgress : public ReadProgress {
  public:
    // The window the progress window stands over; none at start-up, where it stands alone.
    void setParent(QWidget* parent) { parent_ = parent; }
    bool showUntil(const QString& fileName, const std::function<bool()>& finished) override;

  private:
    QPointer<QWidget> parent_;
};

// Puts "Leyendo «name»…" in the dialog as it is: a name with tags in it is not taken for rich
// text.
void showFileName(QProgressDialog& dialog, const QString& fileName);

} // namespace platform::qt
