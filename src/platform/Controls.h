// SPDX-License-Identifier: MIT
#pragma once

// The controls of the form engine: plain objects that hold their settings in window twips and
// tell the form when something visible changed. They know nothing of the toolkit that shows them.

#include "Picture.h"
#include "Twips.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace platform {

class Form;

// Button codes (1 left, 2 right, 4 middle) and shift bits (1 Shift, 2 Ctrl, 4 Alt) of the mouse
// and key events.
using MouseHandler = std::function<void(std::int16_t button, std::int16_t shift, float x, float y)>;

class Control {
  public:
    explicit Control(QString name) : name_(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const QString& name() const { return name_; }

    Twips Left() const { return rect_.left; }
    Twips Top() const { return rect_.top; }
    Twips Width() const { return rect_.width; }
    Twips Height() const { return rect_.height; }
    bool Visible() const { return visible_; }
    TwipsRect rect() const { return rect_; }

    void setLeft(Twips value);
    void setTop(Twips value);
    virtual void setWidth(Twips value);
    virtual void setHeight(Twips value);
    void setVisible(bool value);
    // Sets all four values at once, as a form's design does.
    void place(Twips left, Twips top, Twips width, Twips height);

  protected:
    void changed();
    const Form* form() const { return form_; }

  private:
    friend class Form;
    QString name_;
    TwipsRect rect_;
    bool visible_ = true;
    Form* form_ = nullptr;
};

// A picture control. With stretch off, giving it a picture resizes it to the picture's natural
// size (pixels times twips per pixel) and the picture is drawn at that size; with stretch on it
// keeps its size and the picture is scaled to fill it, also when it is resized later.
class PictureBox : public Control {
  public:
    using Control::Control;

    const Picture& picture() const { return picture_; }
    void setPicture(Picture picture);
    bool stretch() const { return stretch_; }
    void setStretch(bool on);

    bool crosshairPointer = false;
    bool border = true;
    MouseHandler onMouseDown;
    MouseHandler onMouseMove;

    // What a screen reader says of the control: its name and a description of what it shows.
    const QString& accessibleName() const { return accessibleName_; }
    const QString& accessibleDescription() const { return accessibleDescription_; }
    // Tells the form only when one of them changed.
    void setAccessibleText(const QString& name, const QString& description);

  private:
    Picture picture_;
    bool stretch_ = false;
    QString accessibleName_;
    QString accessibleDescription_;
};

// A rectangle shape, drawn as a white outline over the picture controls. It takes no mouse
// events: presses pass through to what lies under it.
class Shape : public Control {
  public:
    using Control::Control;
};

// A graphical command button: its icon is its whole face.
class CommandButton : public Control {
  public:
    using Control::Control;

    QString toolTip;
    QString iconName;
    int tabIndex = 0;
    std::function<void()> onClick;
};

} // namespace platform
