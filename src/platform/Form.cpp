// SPDX-License-Identifier: MIT
#include "Form.h"

#include "PlatformError.h"

#include <new>

namespace platform {

Form::Form(QString caption, QString applicationTitle, const ScreenMetrics& screen,
           MessageBoxService& messages)
    : caption_(std::move(caption)), applicationTitle_(std::move(applicationTitle)), screen_(screen),
      messages_(messages) {}

void Form::setCaption(const QString& caption) {
    caption_ = caption;
    if (observer_ != nullptr) {
        observer_->captionChanged();
    }
}

void Form::setWidth(Twips value) {
    width_ = value;
    if (observer_ != nullptr) {
        observer_->formResized();
    }
}

void Form::setHeight(Twips value) {
    height_ = value;
    if (observer_ != nullptr) {
        observer_->formResized();
    }
}

void Form::setClientSize(Twips width, Twips height) {
    setWidth(width + nonClientWidth_);
    setHeight(height + nonClientHeight_);
}

void Form::setNonClientExtent(Twips width, Twips height) {
    const Twips clientW = clientWidth();
    const Twips clientH = clientHeight();
    nonClientWidth_ = width;
    nonClientHeight_ = height;
    setClientSize(clientW, clientH);
}

void Form::addControl(Control& control) {
    control.form_ = this;
    controls_.push_back(&control);
}

const MenuItem* Form::findMenuItem(const QString& name) const {
    for (const MenuItem& menu : menuBar_) {
        if (const MenuItem* found = menu.find(name)) {
            return found;
        }
    }
    return nullptr;
}

void Form::runHandler(const std::function<void()>& handler) {
    if (!handler) {
        return;
    }
    try {
        handler();
    } catch (const PlatformError& error) {
        reportError(error.description());
    } catch (const std::bad_alloc&) {
        reportError(standardDescription(ErrorNumber::OutOfMemory));
    }
    if (afterEvent) {
        afterEvent();
    }
}

void Form::reportError(const QString& description) {
    messages_.show(description, applicationTitle_, MessageIcon::Critical);
}

void Form::popupMenu(const MenuItem& menu) {
    if (observer_ != nullptr) {
        observer_->popupMenuRequested(menu, nullptr);
    }
}

void Form::popupMenuOver(const MenuItem& menu, const Control& place) {
    if (observer_ != nullptr) {
        observer_->popupMenuRequested(menu, &place);
    }
}

void Form::unload() {
    unloaded_ = true;
    if (observer_ != nullptr) {
        observer_->unloadRequested();
    }
}

void Form::controlChanged(const Control& control) {
    if (observer_ != nullptr) {
        observer_->controlChanged(control);
    }
}

} // namespace platform
