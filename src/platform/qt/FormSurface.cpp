// SPDX-License-Identifier: MIT
#include "FormSurface.h"

#include "platform/PictureDrawing.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

namespace platform::qt {

std::int16_t buttonCode(Qt::MouseButtons buttons) {
    int code = 0;
    code |= buttons.testFlag(Qt::LeftButton) ? 1 : 0;
    code |= buttons.testFlag(Qt::RightButton) ? 2 : 0;
    code |= buttons.testFlag(Qt::MiddleButton) ? 4 : 0;
    return std::int16_t(code);
}

std::int16_t shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    code |= modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0;
    code |= modifiers.testFlag(Qt::ControlModifier) ? 2 : 0;
    code |= modifiers.testFlag(Qt::AltModifier) ? 4 : 0;
    return std::int16_t(code);
}

FormSurface::FormSurface(Form& form, QWidget* parent)
    : QWidget(parent), form_(form), mapper_(form.screen()),
      accessibility_(std::make_unique<PictureAccessibility>(*this)) {
    PictureAccessibility::install();
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

FormSurface::~FormSurface() = default;

QRect FormSurface::pixelRect(const Control& control) const {
    return mapper_.toPixels(control.rect());
}

PictureBox* FormSurface::pictureAt(QPoint pixels) const {
    const auto& controls = form_.controls();
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        auto* box = dynamic_cast<PictureBox*>(*it);
        if (box != nullptr && box->Visible() && pixelRect(*box).contains(pixels)) {
            return box;
        }
    }
    return nullptr;
}

void FormSurface::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    for (const Control* control : form_.controls()) {
        if (!control->Visible()) {
            continue;
        }
        if (const auto* box = dynamic_cast<const PictureBox*>(control)) {
            drawPicture(painter, *box, event->rect());
        }
    }
    // Shapes lie over the picture controls.
    for (const Control* control : form_.controls()) {
        if (const auto* shape = dynamic_cast<const Shape*>(control); shape && shape->Visible()) {
            drawShape(painter, *shape);
        }
    }
}

void FormSurface::drawPicture(QPainter& painter, const PictureBox& box,
                              const QRect& exposed) const {
    const QRect frame = pixelRect(box);
    const Picture& picture = box.picture();
    if (!picture.isNull() && !frame.isEmpty()) {
        // With stretch on the picture fills the control; with it off it keeps its natural size,
        // cut off by the control's edges.
        const QRectF target =
            box.stretch() ? QRectF(frame) : QRectF(frame.topLeft(), QSizeF(picture.size()));
        // The first frame does not wait for reduced copies of a large picture: it draws from
        // what there is, and again once they are built.
        QPointer<QWidget> self(const_cast<FormSurface*>(this));
        platform::drawPicture(painter, picture, target,
                              QRectF(frame) & QRectF(exposed) & QRectF(rect()), [self] {
                                  QMetaObject::invokeMethod(
                                      qApp,
                                      [self] {
                                          if (self) {
                                              self->update();
                                          }
                                      },
                                      Qt::QueuedConnection);
                              });
    }
    if (box.border && !frame.isEmpty()) {
        // The single-line border runs one pixel outside the control, so that it covers nothing
        // of the picture (where the control touches the surface's edge, it is simply not seen).
        painter.setPen(QPen(QColor(64, 64, 64), 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.adjusted(-1, -1, 0, 0));
    }
}

void FormSurface::drawShape(QPainter& painter, const Shape& shape) const {
    const QRect frame = pixelRect(shape);
    painter.setPen(QPen(Qt::white, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(frame.topLeft(),
                           QSize(std::max(frame.width() - 1, 0), std::max(frame.height() - 1, 0))));
}

void FormSurface::deliver(const MouseHandler& handler, std::int16_t button,
                          const QMouseEvent* event, const Control* control) {
    if (!handler) {
        return;
    }
    const QPointF twips =
        control != nullptr
            ? mapper_.toTwipsRelative(event->position(), control->Left(), control->Top())
            : mapper_.toTwipsRelative(event->position(), 0, 0);
    const std::int16_t shift = shiftCode(event->modifiers());
    const float x = float(twips.x());
    const float y = float(twips.y());
    form_.runHandler([&] { handler(button, shift, x, y); });
}

void FormSurface::mousePressEvent(QMouseEvent* event) {
    const std::int16_t button = buttonCode(event->button());
    // A press with no other button held starts a new capture: the release of the last one may
    // have gone to a popup menu instead of here.
    if (captured_ == nullptr || event->buttons() == event->button()) {
        captured_ = pictureAt(event->position().toPoint());
    }
    if (captured_ != nullptr) {
        deliver(captured_->onMouseDown, button, event, captured_);
    } else {
        deliver(form_.onMouseDown, button, event, nullptr);
    }
}

void FormSurface::mouseMoveEvent(QMouseEvent* event) {
    PictureBox* target = captured_ != nullptr ? captured_ : pictureAt(event->position().toPoint());
    setCursor(target != nullptr && target->crosshairPointer ? Qt::CrossCursor : Qt::ArrowCursor);
    if (target != nullptr) {
        deliver(target->onMouseMove, buttonCode(event->buttons()), event, target);
    }
}

void FormSurface::mouseReleaseEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton) {
        captured_ = nullptr;
    }
}

} // namespace platform::qt
