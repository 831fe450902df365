// SPDX-License-Identifier: MIT
#pragma once

// Shows a Form as a real window: the menu bar from the form's menus, the graphical buttons, and
// the surface that draws the pictures and shapes. It observes the form and mirrors every change;
// it never decides anything the handlers decide.

#include "platform/Form.h"

#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <map>
#include <optional>

class QMenu;
class QToolButton;

namespace platform::qt {

class FormSurface;

class QtFormWindow : public QMainWindow, private FormObserver {
  public:
    explicit QtFormWindow(Form& form);
    ~QtFormWindow() override;

    // Shows the window at the form's size, with the focus on the first button in tab order.
    void showForm();

    FormSurface* surface() const { return surface_; }
    QToolButton* button(const QString& name) const;
    QMenu* menu(const QString& name) const;
    QAction* action(const QString& itemName) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void formResized() override;
    void captionChanged() override;
    void controlChanged(const Control& control) override;
    void popupMenuRequested(const MenuItem& menu, const Control* place) override;
    void unloadRequested() override;

    void buildMenus();
    QMenu* buildMenu(const MenuItem& item, QWidget* parent);
    void buildButtons();
    void applyGeometry();
    QSize frameExtent() const;
    // Tells the form whether the window is on the screen (shown and not minimised), when that
    // changes.
    void followShown();

    Form& form_;
    FormSurface* surface_ = nullptr;
    bool toldShown_ = true;
    std::map<QString, QToolButton*> buttons_;
    std::map<QString, QMenu*> menus_;
    std::map<QString, QAction*> actions_;
    // The frame the window manager announced before the window was mapped, and the decorations
    // the last fit allowed for.
    std::optional<QMargins> announcedFrame_;
    QSize fittedExtent_;
    // The key press the form has seen while it travels on to the focused widget's parents.
    const QEvent* keyOnItsWay_ = nullptr;
    bool inKeyHandler_ = false;
};

} // namespace platform::qt
