// SPDX-License-Identifier: MIT
#pragma once

// The client area of a form below its menu bar: it draws the picture controls and the shapes,
// and turns mouse events into the controls' handlers in twips.

#include "PictureAccessibility.h"
#include "platform/Form.h"

#include <QWidget>
#include <memory>

namespace platform::qt {

class FormSurface : public QWidget {
  public:
    FormSurface(Form& form, QWidget* parent);
    ~FormSurface() override;

    const Form& form() const { return form_; }
    // The pictures' accessible objects.
    PictureAccessibility& accessibility() const { return *accessibility_; }

    // The picture control under a point in client pixels, topmost first, or nullptr.
    PictureBox* pictureAt(QPoint pixels) const;
    QRect pixelRect(const Control& control) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void drawPicture(QPainter& painter, const PictureBox& box, const QRect& exposed) const;
    void drawShape(QPainter& painter, const Shape& shape) const;
    // Calls a control's mouse handler (or the form's) with twips relative to it.
    void deliver(const MouseHandler& handler, std::int16_t button, const QMouseEvent* event,
                 const Control* control);

    Form& form_;
    CoordinateMapper mapper_;
    // The control that took the last press: it gets every move until all buttons are up, even
    // outside its own area, as a captured mouse does.
    PictureBox* captured_ = nullptr;
    std::unique_ptr<PictureAccessibility> accessibility_;
};

// Button codes and shift bits of the form's events from Qt's.
std::int16_t buttonCode(Qt::MouseButtons buttons);
std::int16_t shiftCode(Qt::KeyboardModifiers modifiers);

} // namespace platform::qt
