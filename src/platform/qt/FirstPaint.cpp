// SPDX-License-Identifier: MIT
#include "FirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace platform::qt {

namespace {

class FirstPaintWatcher : public QObject {
  public:
    FirstPaintWatcher(QWidget* widget, std::function<void()> work)
        : QObject(widget), work_(std::move(work)) {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The frame reaches the screen when this paint event is done.
            QTimer::singleShot(0, parent(), std::move(work_));
            deleteLater();
        }
        return false;
    }

  private:
    std::function<void()> work_;
};

} // namespace

void afterFirstPaint(QWidget* widget, std::function<void()> work) {
    new FirstPaintWatcher(widget, std::move(work));
}

} // namespace platform::qt
