// SPDX-License-Identifier: MIT
#pragma once

// The form: one window with a caption, an outer size in twips, its controls in drawing order, a
// menu bar and the window-level events. Handlers run through runHandler, which applies the
// convention for untrapped errors: the handler stops at the failing step, the steps already done
// stay done, the error is shown in a message box and the window stays open.

#include "Controls.h"
#include "Menu.h"
#include "Services.h"
#include "Twips.h"

#include <functional>
#include <utility>
#include <vector>

namespace platform {

class FormObserver {
  public:
    virtual ~FormObserver() = default;
    virtual void formResized() = 0;
    virtual void captionChanged() = 0;
    virtual void controlChanged(const Control& control) = 0;
    // At the pointer, or, where place is given and the pointer is not over it, at place's
    // top-left corner.
    virtual void popupMenuRequested(const MenuItem& menu, const Control* place) = 0;
    virtual void unloadRequested() = 0;
};

class Form {
  public:
    Form(QString caption, QString applicationTitle, const ScreenMetrics& screen,
         MessageBoxService& messages);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption);
    const QString& applicationTitle() const { return applicationTitle_; }

    // The outer size, frame and menu bar included.
    Twips Width() const { return width_; }
    Twips Height() const { return height_; }
    void setWidth(Twips value);
    void setHeight(Twips value);
    Twips clientWidth() const { return width_ - nonClientWidth_; }
    Twips clientHeight() const { return height_ - nonClientHeight_; }
    // Sets the outer size so that the client area has this size.
    void setClientSize(Twips width, Twips height);
    // What the frame and the menu bar take from the outer size; the client area keeps its size.
    void setNonClientExtent(Twips width, Twips height);

    void addControl(Control& control);
    const std::vector<Control*>& controls() const { return controls_; }
    std::vector<MenuItem>& menuBar() { return menuBar_; }
    const std::vector<MenuItem>& menuBar() const { return menuBar_; }
    const MenuItem* findMenuItem(const QString& name) const;

    const ScreenMetrics& screen() const { return screen_; }

    // The frame and menu bar the layout was made for (what its fitting margins leave beside the
    // controls). Where the real ones take more (a desktop's taller title bar), the real window is
    // larger than the outer size by the difference, so that no control loses room to them.
    Twips designedNonClientWidth = 0;
    Twips designedNonClientHeight = 0;
    bool keyPreview = true;
    QString linkTopic;
    std::function<void()> onLoad;
    std::function<void(std::int16_t keyCode, std::int16_t shift)> onKeyDown;
    MouseHandler onMouseDown;
    std::function<void(std::int16_t linkError)> onLinkError;
    // A local file dropped on the window (the first, when several were).
    std::function<void(const QString& path)> onFileDropped;
    // Runs after every handler, its error shown or not: state derived from the whole model (what
    // a screen reader is told of the pictures) follows each event. It must not fail.
    std::function<void()> afterEvent;
    // The window went off the screen (hidden or minimised: false) or came back (true).
    std::function<void(bool shown)> onShownChanged;

    // Runs the Load event, before the window is first shown.
    void load() { runHandler(onLoad); }
    // Runs one handler under the convention for untrapped errors.
    void runHandler(const std::function<void()>& handler);

    void popupMenu(const MenuItem& menu);
    // Pops a menu up for the keyboard: at the pointer when it lies over place, otherwise at
    // place's top-left corner.
    void popupMenuOver(const MenuItem& menu, const Control& place);
    void unload();
    bool isUnloaded() const { return unloaded_; }
    // Called by a KeyDown handler: the key has done its work and goes no further (the control
    // with the focus does not see it). The platform takes the mark after the handler.
    void consumeKey() { keyConsumed_ = true; }
    bool takeKeyConsumed() { return std::exchange(keyConsumed_, false); }

    void setObserver(FormObserver* observer) { observer_ = observer; }
    void controlChanged(const Control& control);

  private:
    void reportError(const QString& description);

    QString caption_;
    QString applicationTitle_;
    const ScreenMetrics& screen_;
    MessageBoxService& messages_;
    Twips width_ = 0;
    Twips height_ = 0;
    Twips nonClientWidth_ = 0;
    Twips nonClientHeight_ = 0;
    std::vector<Control*> controls_;
    std::vector<MenuItem> menuBar_;
    FormObserver* observer_ = nullptr;
    bool unloaded_ = false;
    bool keyConsumed_ = false;
};

} // namespace platform
