// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace platform {

// Shows the wait cursor for as long as it lives, where there is a screen to show it on: loading,
// saving and printing hold the user-interface thread for as long as they take.
class BusyCursor {
  public:
    BusyCursor()
        : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        if (active_) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        }
    }
    ~BusyCursor() {
        if (active_) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    bool active_;
};

} // namespace platform
