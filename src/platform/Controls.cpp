// SPDX-License-Identifier: MIT
#include "Controls.h"

#include "Form.h"

namespace platform {

void Control::setLeft(Twips value) {
    rect_.left = value;
    changed();
}

void Control::setTop(Twips value) {
    rect_.top = value;
    changed();
}

void Control::setWidth(Twips value) {
    rect_.width = value;
    changed();
}

void Control::setHeight(Twips value) {
    rect_.height = value;
    changed();
}

void Control::setVisible(bool value) {
    visible_ = value;
    changed();
}

void Control::place(Twips left, Twips top, Twips width, Twips height) {
    rect_ = TwipsRect{left, top, width, height};
    changed();
}

void Control::changed() {
    if (form_ != nullptr) {
        form_->controlChanged(*this);
    }
}

void PictureBox::setPicture(Picture picture) {
    picture_ = std::move(picture);
    if (!stretch_ && form() != nullptr) {
        const ScreenMetrics& metrics = form()->screen();
        // The natural size is formed in single precision, like every twips property.
        setHeight(static_cast<float>(double(picture_.height()) * metrics.twipsPerPixelY()));
        setWidth(static_cast<float>(double(picture_.width()) * metrics.twipsPerPixelX()));
        return;
    }
    changed();
}

void PictureBox::setStretch(bool on) {
    stretch_ = on;
    changed();
}

void PictureBox::setAccessibleText(const QString& name, const QString& description) {
    if (name == accessibleName_ && description == accessibleDescription_) {
        return;
    }
    accessibleName_ = name;
    accessibleDescription_ = description;
    changed();
}

} // namespace platform
