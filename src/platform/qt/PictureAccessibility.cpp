// SPDX-License-Identifier: MIT
#include "PictureAccessibility.h"

#include "FormSurface.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace platform::qt {

namespace {

// One picture control as an image. Its place is the control's, in screen pixels.
class PictureAccessible : public QAccessibleInterface, public QAccessibleImageInterface {
  public:
    PictureAccessible(FormSurface& surface, const PictureBox& box)
        : surface_(&surface), box_(box) {}

    bool isValid() const override { return !surface_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return surface_ ? surface_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(surface_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return box_.accessibleName();
        case QAccessible::Description:
            return box_.accessibleDescription();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Graphic; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !box_.Visible() || !surface_ || !surface_->isVisible();
        s.readOnly = true;
        return s;
    }
    QRect rect() const override {
        if (!surface_) {
            return {};
        }
        const QRect area = surface_->pixelRect(box_);
        return QRect(surface_->mapToGlobal(area.topLeft()), area.size());
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ImageInterface ? static_cast<QAccessibleImageInterface*>(this)
                                                   : nullptr;
    }

    QString imageDescription() const override { return box_.accessibleDescription(); }
    QSize imageSize() const override { return rect().size(); }
    QPoint imagePosition() const override { return rect().topLeft(); }

  private:
    QPointer<FormSurface> surface_;
    const PictureBox& box_;
};

// The surface: its child widgets (the buttons), then the pictures.
class SurfaceAccessible : public QAccessibleWidget {
  public:
    explicit SurfaceAccessible(FormSurface* surface)
        : QAccessibleWidget(surface, QAccessible::Client), surface_(surface) {}

    int childCount() const override {
        return QAccessibleWidget::childCount() + int(pictures().size());
    }
    QAccessibleInterface* child(int index) const override {
        const int widgets = QAccessibleWidget::childCount();
        if (index < widgets) {
            return QAccessibleWidget::child(index);
        }
        const auto boxes = pictures();
        const auto at = std::size_t(index - widgets);
        return at < boxes.size() ? surface_->accessibility().interfaceFor(*boxes[at]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto boxes = pictures();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (surface_->accessibility().interfaceFor(*boxes[i]) == child) {
                return QAccessibleWidget::childCount() + int(i);
            }
        }
        return QAccessibleWidget::indexOfChild(child);
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        if (QAccessibleInterface* widget = QAccessibleWidget::childAt(x, y)) {
            return widget;
        }
        const QPoint local = surface_->mapFromGlobal(QPoint(x, y));
        if (const PictureBox* box = surface_->pictureAt(local)) {
            return surface_->accessibility().interfaceFor(*box);
        }
        return nullptr;
    }

  private:
    std::vector<const PictureBox*> pictures() const { return surface_->accessibility().pictures(); }
    FormSurface* surface_;
};

QAccessibleInterface* surfaceFactory(const QString&, QObject* object) {
    // Asked once for each class of the object's ancestry; a surface being destroyed is a plain
    // widget by then.
    if (auto* surface = dynamic_cast<FormSurface*>(object)) {
        return new SurfaceAccessible(surface);
    }
    return nullptr;
}

} // namespace

PictureAccessibility::PictureAccessibility(FormSurface& surface) : surface_(surface) {}

PictureAccessibility::~PictureAccessibility() {
    for (const auto& [box, told] : told_) {
        QAccessible::deleteAccessibleInterface(told.id);
    }
}

void PictureAccessibility::install() {
    static const bool installed = [] {
        QAccessible::installFactory(surfaceFactory);
        return true;
    }();
    (void)installed;
}

std::vector<const PictureBox*> PictureAccessibility::pictures() const {
    std::vector<const PictureBox*> boxes;
    for (const Control* control : surface_.form().controls()) {
        if (const auto* box = dynamic_cast<const PictureBox*>(control)) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

QAccessibleInterface* PictureAccessibility::interfaceFor(const PictureBox& box) {
    auto it = told_.find(&box);
    if (it == told_.end()) {
        auto* made = new PictureAccessible(surface_, box);
        it = told_
                 .emplace(&box, Told{QAccessible::registerAccessibleInterface(made),
                                     box.accessibleName(), box.accessibleDescription()})
                 .first;
    }
    return QAccessible::accessibleInterface(it->second.id);
}

void PictureAccessibility::announce(const PictureBox& box) {
    // Nothing has asked for the picture yet: there is nobody to tell. (Asking Qt whether anybody
    // listens would start its bridge to the accessibility bus, and with it a session bus.)
    const auto it = told_.find(&box);
    if (it == told_.end()) {
        return;
    }
    QAccessibleInterface* iface = QAccessible::accessibleInterface(it->second.id);
    Told& told = it->second;
    const auto tell = [iface](QAccessible::Event type) {
        QAccessibleEvent event(iface, type);
        QAccessible::updateAccessibility(&event);
    };
    if (told.name != box.accessibleName()) {
        told.name = box.accessibleName();
        tell(QAccessible::NameChanged);
    }
    if (told.description != box.accessibleDescription()) {
        told.description = box.accessibleDescription();
        tell(QAccessible::DescriptionChanged);
    }
}

} // namespace platform::qt
