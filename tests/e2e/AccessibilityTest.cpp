// SPDX-License-Identifier: MIT
// What a screen reader finds in the real window, read through Qt's accessibility interfaces on
// the offscreen platform: the pictures as named and described images, the events that follow a
// change, the buttons pressed through their actions, the keys that stand for the pointer.

#include "platform/qt/FormSurface.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtReadProgress.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using testing_support::KelmoHarness;
using testing_support::PictureFiles;

namespace {

struct Told {
    QAccessible::Event type;
    QString name; // of the object the event is about
};
std::vector<Told> told;

void record(QAccessibleEvent* event) {
    const QAccessible::Event type = event->type();
    if (type == QAccessible::NameChanged || type == QAccessible::DescriptionChanged) {
        QAccessibleInterface* iface = event->accessibleInterface();
        told.push_back({type, iface != nullptr ? iface->text(QAccessible::Name) : QString()});
    }
}

struct Accessibility : ::testing::Test, testing_support::ShownKelmo {

    Accessibility() { QAccessible::installUpdateHandler(record); }
    ~Accessibility() override {
        window.reset();
        QAccessible::installUpdateHandler(nullptr);
        told.clear();
    }
    // The surface's children of one role, in order.
    std::vector<QAccessibleInterface*> children(QAccessible::Role role) const {
        QAccessibleInterface* surface = QAccessible::queryAccessibleInterface(window->surface());
        std::vector<QAccessibleInterface*> found;
        for (int i = 0; i < surface->childCount(); ++i) {
            QAccessibleInterface* child = surface->child(i);
            if (child != nullptr && child->role() == role) {
                EXPECT_EQ(surface->indexOfChild(child), i);
                EXPECT_EQ(child->parent(), surface);
                found.push_back(child);
            }
        }
        return found;
    }
    // A key pressed while the first button has the focus.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(window->button(QStringLiteral("Aumenta")), key, modifiers);
    }
    void walkThrough(bool withEvents);
    bool toldOf(QAccessible::Event type, const QString& name) const {
        return std::any_of(told.begin(), told.end(),
                           [&](const Told& t) { return t.type == type && t.name == name; });
    }
};

// Opens a picture, selects with the keys, zooms through the button's action, selects the whole
// view and opens another picture; after each step, what the two pictures say and, with events,
// that every change and only a change came with its event.
void Accessibility::walkThrough(bool withEvents) {
    start(files.write(QStringLiteral("vista.bmp"), 120, 100));
    const auto images = children(QAccessible::Graphic);
    ASSERT_EQ(images.size(), 2u);
    QAccessibleInterface* copy = images[0];
    QAccessibleInterface* view = images[1];
    const QString viewName = QStringLiteral("Imagen: vista.bmp");
    const QString copyName = QStringLiteral("Vista panorámica");

    // Where they are: a point of each picture finds it, and the image interface agrees.
    for (const auto& [iface, box] :
         {std::pair{view, &kelmo->model().Image1}, {copy, &kelmo->model().ImagenPanoramica}}) {
        const QRect area = window->surface()->pixelRect(*box);
        const QRect onScreen(window->surface()->mapToGlobal(area.topLeft()), area.size());
        EXPECT_EQ(iface->rect(), onScreen);
        ASSERT_NE(iface->imageInterface(), nullptr);
        EXPECT_EQ(iface->imageInterface()->imageSize(), area.size());
        EXPECT_EQ(iface->imageInterface()->imagePosition(), onScreen.topLeft());
        QAccessibleInterface* surface = iface->parent();
        EXPECT_EQ(surface->childAt(onScreen.center().x(), onScreen.center().y()), iface);
    }

    // Each step, made from the keyboard or through the buttons' accessible actions, and what
    // the two pictures then say.
    QAccessibleInterface* zoom = nullptr;
    for (QAccessibleInterface* button : children(QAccessible::Button)) {
        if (button->text(QAccessible::Name) == "Ejectúa un zoom del área seleccionada") {
            zoom = button;
        }
    }
    ASSERT_NE(zoom, nullptr);
    const QString openedPath = files.write(QStringLiteral("otra.bmp"), 64, 48);
    const struct {
        const char* step;
        std::function<void()> act;
        QString name, description, copyDescription;
    } steps[] = {
        {"shown", [] {}, viewName, "120 × 100 píxeles. Se ve entera, al 100 %.",
         "La imagen entera, reducida."},
        {"Ctrl+Shift+Right, Ctrl+Shift+Down, Shift+Up",
         [&] {
             key(Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
             key(Qt::Key_Down, Qt::ShiftModifier | Qt::ControlModifier);
             key(Qt::Key_Up, Qt::ShiftModifier);
         },
         viewName, "120 × 100 píxeles. Se ve entera, al 100 %. Selección: 10 × 9 desde 0, 0.",
         "La imagen entera, reducida."},
        {"Zoom pressed through its action",
         [&] { zoom->actionInterface()->doAction(QAccessibleActionInterface::pressAction()); },
         viewName, "120 × 100 píxeles. Se ve la zona de 10 × 9 desde 0, 0, al 1200 % × 1111 %.",
         "El recuadro de enfoque marca la zona de 10 × 9 desde 0, 0."},
        {"Ctrl+A", [&] { key(Qt::Key_A, Qt::ControlModifier); }, viewName,
         "120 × 100 píxeles. Se ve la zona de 10 × 9 desde 0, 0, al 1200 % × 1111 %. "
         "Selección: 10 × 9 desde 0, 0.",
         "El recuadro de enfoque marca la zona de 10 × 9 desde 0, 0."},
        {"opened",
         [&] {
             kelmo->prompter.fileAnswers.push_back(openedPath);
             window->action(QStringLiteral("SubMenuAbrir"))->trigger();
         },
         "Imagen: otra.bmp", "64 × 48 píxeles. Se ve entera, al 100 %.",
         "La imagen entera, reducida."},
    };
    for (const auto& s : steps) {
        told.clear();
        const QString nameBefore = view->text(QAccessible::Name);
        const QString descriptionBefore = view->text(QAccessible::Description);
        const QString copyBefore = copy->text(QAccessible::Description);
        s.act();
        QApplication::processEvents();
        EXPECT_EQ(view->text(QAccessible::Name), s.name) << s.step;
        EXPECT_EQ(view->text(QAccessible::Description), s.description) << s.step;
        EXPECT_EQ(view->imageInterface()->imageDescription(), s.description) << s.step;
        EXPECT_EQ(copy->text(QAccessible::Name), copyName) << s.step;
        EXPECT_EQ(copy->text(QAccessible::Description), s.copyDescription) << s.step;
        if (!withEvents) {
            continue;
        }
        // Every change comes with its event, and no event comes without one.
        EXPECT_EQ(toldOf(QAccessible::NameChanged, s.name), nameBefore != s.name) << s.step;
        EXPECT_EQ(toldOf(QAccessible::DescriptionChanged, s.name),
                  descriptionBefore != s.description)
            << s.step;
        EXPECT_EQ(toldOf(QAccessible::DescriptionChanged, copyName),
                  copyBefore != s.copyDescription)
            << s.step;
    }
    // The window's title follows the file shown, with its event.
    EXPECT_EQ(window->windowTitle(), openedPath);
    EXPECT_TRUE(toldOf(QAccessible::NameChanged, openedPath) || !withEvents);
    EXPECT_TRUE(kelmo->messages.shown.empty());
}

TEST_F(Accessibility, ThePicturesAreImagesThatFollowOpenSelectionAndZoom) {
    walkThrough(false);
}

// Qt sends accessibility events only while a screen reader's bridge is active: on X11 with
// AT-SPI (the run of its own under Xvfb and a private D-Bus session, with
// QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), not on the offscreen platform.
TEST_F(Accessibility, EveryChangeComesWithItsEvent) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        GTEST_SKIP() << "no screen reader's bridge on "
                     << QGuiApplication::platformName().toStdString();
    }
    // Asking starts the bridge, which then finds the accessibility bus.
    QDeadlineTimer bridge(5000);
    while (!QAccessible::isActive() && !bridge.hasExpired()) {
        QTest::qWait(20);
    }
    if (!QAccessible::isActive()) {
        GTEST_SKIP() << "no screen reader's bridge (needs X11, AT-SPI and D-Bus)";
    }
    walkThrough(true);
}

TEST_F(Accessibility, TheStartUpPictureIsNamedAndTheMenuKeysOpenEditarOverTheView) {
    start(QString());
    const auto images = children(QAccessible::Graphic);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1]->text(QAccessible::Name), QStringLiteral("Imagen: imagen de inicio"));
    const QRect view = window->surface()->pixelRect(kelmo->model().Image1);
    const QPoint corner = window->surface()->mapToGlobal(view.topLeft());
    const QPoint overView = window->surface()->mapToGlobal(view.center());
    const QPoint away = window->mapToGlobal(QPoint(2, 2));
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QPoint pointer, menuAt;
    } cases[] = {
        {Qt::Key_Menu, {}, away, corner},
        {Qt::Key_F10, Qt::ShiftModifier, away, corner},
        {Qt::Key_Menu, {}, overView, overView},
    };
    for (const auto& c : cases) {
        QCursor::setPos(c.pointer);
        QTest::keyClick(window->button(QStringLiteral("Restore")), c.key, c.modifiers);
        QWidget* popup = QApplication::activePopupWidget();
        ASSERT_NE(popup, nullptr) << c.key;
        EXPECT_EQ(popup, static_cast<QWidget*>(window->menu(QStringLiteral("menuEdit"))));
        EXPECT_EQ(popup->pos(), c.menuAt) << c.key;
        popup->close();
    }
}

TEST_F(Accessibility, TheProgressBarOfALongReadIsNamedForTheFile) {
    platform::qt::QtReadProgress progress;
    QString barName;
    progress.showUntil(QStringLiteral("grande.jpg"), [&] {
        if (auto* dialog = QApplication::activeModalWidget()) {
            if (auto* bar = dialog->findChild<QProgressBar*>()) {
                barName = bar->accessibleName();
                return true;
            }
        }
        return false;
    });
    EXPECT_EQ(barName, QStringLiteral("grande.jpg"));
}

} // namespace
