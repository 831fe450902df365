// SPDX-License-Identifier: MIT
#include "QtFormWindow.h"

#include "ButtonIcons.h"
#include "FormSurface.h"
#include "FrameExtents.h"

#include <QAccessible>
#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace platform::qt {

namespace {

std::int16_t keyCode(int qtKey) {
    if (qtKey == Qt::Key_Escape) {
        return 27;
    }
    // Letters and digits carry their upper-case character code, as the form's key codes do.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return std::int16_t(qtKey);
    }
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Menu:
        return 93;
    case Qt::Key_F10:
        return 121;
    case Qt::Key_Comma:
        return 188;
    case Qt::Key_Period:
        return 190;
    default:
        return 0;
    }
}

// The file a drag carries, when it carries a local file: the first of them.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

} // namespace

QtFormWindow::QtFormWindow(Form& form) : form_(form) {
    surface_ = new FormSurface(form_, this);
    setCentralWidget(surface_);
    buildMenus();
    buildButtons();
    setWindowTitle(form_.caption());
    form_.setObserver(this);
    const QSize extent = frameExtent();
    form_.setNonClientExtent(float(extent.width()) * form_.screen().twipsPerPixelX(),
                             float(extent.height()) * form_.screen().twipsPerPixelY());
    // Key preview: the form sees every key press before the control with the focus does.
    qApp->installEventFilter(this);
    // Drops on any part of the window come here: no child takes them.
    setAcceptDrops(true);
}

QtFormWindow::~QtFormWindow() {
    qApp->removeEventFilter(this);
    form_.setObserver(nullptr);
}

void QtFormWindow::buildMenus() {
    for (const MenuItem& item : form_.menuBar()) {
        menuBar()->addMenu(buildMenu(item, menuBar()));
    }
}

QMenu* QtFormWindow::buildMenu(const MenuItem& item, QWidget* parent) {
    auto* menu = new QMenu(item.caption, parent);
    menus_[item.name] = menu;
    for (const MenuItem& child : item.items) {
        if (child.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (!child.items.empty()) {
            menu->addMenu(buildMenu(child, menu));
            continue;
        }
        QAction* action = menu->addAction(child.caption);
        action->setEnabled(child.enabled);
        action->setCheckable(child.checkable);
        action->setChecked(child.checked);
        actions_[child.name] = action;
        const MenuItem* model = &child;
        connect(action, &QAction::triggered, this, [this, action, model] {
            // Choosing an item never changes its check mark.
            action->setChecked(model->checked);
            form_.runHandler(model->onClick);
        });
    }
    return menu;
}

void QtFormWindow::buildButtons() {
    std::vector<std::pair<int, QToolButton*>> tabOrder;
    for (Control* control : form_.controls()) {
        auto* model = dynamic_cast<CommandButton*>(control);
        if (model == nullptr) {
            continue;
        }
        auto* button = new QToolButton(surface_);
        button->setIcon(buttonIcon(model->iconName));
        button->setToolTip(model->toolTip);
        button->setAccessibleName(model->toolTip);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoRaise(false);
        connect(button, &QToolButton::clicked, this,
                [this, model] { form_.runHandler(model->onClick); });
        buttons_[model->name()] = button;
        tabOrder.emplace_back(model->tabIndex, button);
        controlChanged(*model);
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    }
}

QToolButton* QtFormWindow::button(const QString& name) const {
    const auto it = buttons_.find(name);
    return it == buttons_.end() ? nullptr : it->second;
}

QMenu* QtFormWindow::menu(const QString& name) const {
    const auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

QAction* QtFormWindow::action(const QString& itemName) const {
    const auto it = actions_.find(itemName);
    return it == actions_.end() ? nullptr : it->second;
}

QSize QtFormWindow::frameExtent() const {
    // What the window manager's decorations and the menu bar take from the outer size: the frame
    // Qt knows once the window is framed, or before that the one the window manager announced;
    // without a window manager, 0.
    QSize decorations = frameGeometry().size() - geometry().size();
    if (decorations.isNull() && announcedFrame_) {
        decorations = QSize(announcedFrame_->left() + announcedFrame_->right(),
                            announcedFrame_->top() + announcedFrame_->bottom());
    }
    return QSize(decorations.width(), decorations.height() + menuBar()->sizeHint().height());
}

void QtFormWindow::applyGeometry() {
    const QSize extent = frameExtent();
    fittedExtent_ = extent;
    const ScreenMetrics& metrics = form_.screen();
    const CoordinateMapper mapper(metrics);
    QSize outer(mapper.toPixelsX(form_.Width()), mapper.toPixelsY(form_.Height()));
    // Decorations and menu bar taller or wider than the layout allows for (Qt's own title bar on
    // Wayland) would cut the last rows or columns of the view: the window grows by the excess.
    const QSize allowed(int(std::floor(form_.designedNonClientWidth / metrics.twipsPerPixelX())),
                        int(std::floor(form_.designedNonClientHeight / metrics.twipsPerPixelY())));
    outer += (extent - allowed).expandedTo(QSize(0, 0));
    // The real window never exceeds the screen's available area; the form keeps the size its
    // handlers set, and what lies beyond the screen is simply not drawn.
    if (const QScreen* screen = this->screen()) {
        outer = outer.boundedTo(screen->availableGeometry().size());
    }
    const int menuHeight = menuBar()->sizeHint().height();
    const QSize decorations(extent.width(), extent.height() - menuHeight);
    resize(std::max(outer.width() - decorations.width(), 1),
           std::max(outer.height() - decorations.height(), menuHeight + 1));
}

void QtFormWindow::showForm() {
    // The first fit allows for the frame the window manager is going to add.
    announcedFrame_ = requestFrameExtents(this);
    applyGeometry();
    show();
    applyGeometry();
    std::vector<std::pair<int, QToolButton*>> buttons;
    for (Control* control : form_.controls()) {
        if (auto* model = dynamic_cast<CommandButton*>(control)) {
            buttons.emplace_back(model->tabIndex, button(model->name()));
        }
    }
    const auto first = std::min_element(buttons.begin(), buttons.end(),
                                        [](auto& a, auto& b) { return a.first < b.first; });
    if (first != buttons.end()) {
        first->second->setFocus(Qt::OtherFocusReason);
    }
}

void QtFormWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    followShown();
}

void QtFormWindow::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    followShown();
}

void QtFormWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        followShown();
    }
}

void QtFormWindow::followShown() {
    const bool shown = isVisible() && !isMinimized();
    if (shown != toldShown_ && form_.onShownChanged) {
        toldShown_ = shown;
        form_.onShownChanged(shown);
    }
}

void QtFormWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // A frame other than the one allowed for (a window manager that did not announce it, or
    // changed it): fit again, so that the outer size stays the one the handlers set.
    if (isVisible() && frameExtent() != fittedExtent_) {
        applyGeometry();
    }
}

void QtFormWindow::formResized() {
    applyGeometry();
}

void QtFormWindow::captionChanged() {
    const bool changed = windowTitle() != form_.caption();
    setWindowTitle(form_.caption());
    // Qt tells the window manager of a new title, not a screen reader: the window's name is it.
    if (changed) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void QtFormWindow::controlChanged(const Control& control) {
    if (auto* model = dynamic_cast<const CommandButton*>(&control)) {
        if (QToolButton* b = button(model->name())) {
            const QRect rect = surface_->pixelRect(*model);
            b->setGeometry(rect);
            b->setIconSize(rect.size() - QSize(8, 8));
            b->setVisible(model->Visible());
        }
        return;
    }
    if (const auto* picture = dynamic_cast<const PictureBox*>(&control)) {
        surface_->accessibility().announce(*picture);
    }
    surface_->update();
}

void QtFormWindow::popupMenuRequested(const MenuItem& menu, const Control* place) {
    QMenu* popup = this->menu(menu.name);
    if (popup == nullptr) {
        return;
    }
    QPoint at = QCursor::pos();
    if (place != nullptr) {
        // Asked for from the keyboard: at the pointer only while it lies over the control.
        const QRect area = surface_->pixelRect(*place);
        if (!area.contains(surface_->mapFromGlobal(at))) {
            at = surface_->mapToGlobal(area.topLeft());
        }
    }
    popup->popup(at);
    // Opened by a key, the menu is worked from the keyboard: its first item is active.
    if (place != nullptr && !popup->actions().isEmpty()) {
        popup->setActiveAction(popup->actions().constFirst());
    }
}

void QtFormWindow::dragEnterEvent(QDragEnterEvent* event) {
    // Anything but a local file is refused while it is dragged: the cursor says so.
    if (form_.onFileDropped && !droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void QtFormWindow::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty() || !form_.onFileDropped) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    form_.runHandler([&] { form_.onFileDropped(path); });
}

void QtFormWindow::unloadRequested() {
    close();
}

bool QtFormWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        // Another event between two presses (each press is preceded by its shortcut check):
        // the press seen last has finished its journey. Events of a box the handler opened do
        // not count: the press goes on to the focused widget's parents when the handler returns.
        if (!inKeyHandler_) {
            keyOnItsWay_ = nullptr;
        }
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!form_.keyPreview || !form_.onKeyDown || widget == nullptr || widget->window() != this) {
        return false;
    }
    // While the menu bar is worked from the keyboard (after Alt) its keys are the menus' own,
    // as they are in an open menu.
    if (qobject_cast<QMenuBar*>(widget) != nullptr) {
        return false;
    }
    // A key press travels from the focus widget up to its parents; the form sees it once, on its
    // first delivery, whatever has the focus by then, and it goes on unless the handler
    // consumed it.
    if (event == keyOnItsWay_) {
        return false;
    }
    keyOnItsWay_ = event;
    const auto* key = static_cast<QKeyEvent*>(event);
    const std::int16_t code = keyCode(key->key());
    const std::int16_t shift = shiftCode(key->modifiers());
    inKeyHandler_ = true;
    form_.takeKeyConsumed();
    form_.runHandler([&] { form_.onKeyDown(code, shift); });
    inKeyHandler_ = false;
    return form_.takeKeyConsumed();
}

} // namespace platform::qt
