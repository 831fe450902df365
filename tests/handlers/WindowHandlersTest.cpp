// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using testing_support::KelmoHarness;

namespace {

struct RecordingObserver : platform::FormObserver {
    std::vector<QString> popups;
    bool unloaded = false;
    void formResized() override {}
    void captionChanged() override {}
    void controlChanged(const platform::Control&) override {}
    void popupMenuRequested(const platform::MenuItem& menu,
                            const platform::Control* place) override {
        popups.push_back(place == nullptr ? menu.name : menu.name + "@" + place->name());
    }
    void unloadRequested() override { unloaded = true; }
};

struct WindowHandlers : ::testing::Test {
    KelmoHarness kelmo;
    RecordingObserver observer;
    WindowHandlers() {
        kelmo.load();
        kelmo.model().window.setObserver(&observer);
    }
    ~WindowHandlers() override { kelmo.model().window.setObserver(nullptr); }
};

TEST_F(WindowHandlers, KeyRouting) {
    const struct {
        std::int16_t key;
        std::int16_t shift;
        bool hides;
        bool copies;
    } cases[] = {
        {27, 0, true, false},  {27, 1, true, false},  {27, 2, true, false},  {27, 7, true, false},
        {67, 2, false, true},  {67, 3, false, true},  {67, 6, false, true},  {67, 0, false, false},
        {67, 1, false, false}, {17, 2, false, false}, {65, 2, false, false},
    };
    for (const auto& c : cases) {
        KelmoHarness fresh;
        fresh.load();
        fresh.form().Image1_MouseDown(1, 0, 100, 100);
        fresh.form().Image1_MouseMove(1, 0, 500, 500);
        fresh.form().Form_KeyDown(c.key, c.shift);
        EXPECT_EQ(!fresh.model().Recuadro.Visible(), c.hides) << c.key << "/" << c.shift;
        // A copy with a visible selection puts it on the clipboard; without one it says so.
        fresh.form().Form_KeyDown(27, 0);
        fresh.messages.shown.clear();
        fresh.form().Form_KeyDown(c.key, c.shift);
        EXPECT_EQ(!fresh.messages.shown.empty(), c.copies) << c.key << "/" << c.shift;
    }
}

TEST_F(WindowHandlers, RightPressesOpenTheirMenus) {
    kelmo.form().Form_MouseDown(2, 0, 10, 10);
    kelmo.form().Form_MouseDown(1, 0, 10, 10);
    kelmo.form().Form_MouseDown(4, 0, 10, 10);
    kelmo.form().Image1_MouseDown(2, 0, 10, 10);
    kelmo.form().Image1_MouseDown(4, 0, 10, 10);
    EXPECT_EQ(observer.popups, (std::vector<QString>{"MenuFile", "menuEdit"}));
    EXPECT_FALSE(kelmo.model().Recuadro.Visible());
}

TEST_F(WindowHandlers, MenuKeyAndShiftF10OpenTheViewsMenuOverTheView) {
    for (const auto& [key, shift] : std::vector<std::pair<std::int16_t, std::int16_t>>{
             {93, 0}, {121, 1}, {121, 0}, {121, 2}, {93, 4}}) {
        kelmo.form().Form_KeyDown(key, shift);
    }
    EXPECT_EQ(observer.popups, (std::vector<QString>{"menuEdit@Image1", "menuEdit@Image1"}));
}

TEST_F(WindowHandlers, LinkErrorSetsTheCaptionAndCloseUnloads) {
    kelmo.form().Form_LinkError(12);
    EXPECT_EQ(kelmo.model().window.caption(), QStringLiteral("ERROR"));
    EXPECT_FALSE(observer.unloaded);
    kelmo.model().window.findMenuItem(QStringLiteral("SubMenuCerrar"))->onClick();
    EXPECT_TRUE(observer.unloaded);
}

TEST_F(WindowHandlers, MenuTreeCaptionsAndStates) {
    const platform::Form& w = kelmo.model().window;
    QStringList bar;
    for (const platform::MenuItem& menu : w.menuBar()) {
        bar << menu.caption;
    }
    EXPECT_EQ(bar, (QStringList{"Fichero", "Editar", "Kelmo", "Imprimir", "Ayuda"}));
    const struct {
        const char* name;
        const char* caption;
        bool enabled;
        bool checked;
        bool hasCommand;
    } items[] = {
        {"SubMenuAbrir", "Abrir Imagen", true, false, true},
        {"SubMenuCerrar", "Cerrar", true, false, true},
        {"separador", "-", true, false, false},
        {"SaveSelected", "Guardar seleccionado", true, false, true},
        {"SubMenuPropiedades", "Propiedades", false, false, false},
        {"ToClipBoard", "Pegar al portapapeles", true, false, true},
        {"FromClipBoard", "Leer del Portapapeles", false, false, false},
        {"SubMenuAmpliar", "Ampliar Ventana", true, false, true},
        {"SubMenuReducir", "Reducir ventana", true, false, true},
        {"SubMenuRestore", "Restaurar imagen", true, false, true},
        {"VerMenu", "Barra de menús", true, true, false},
        {"VerHerramientas", "Herramientas", true, true, false},
        {"VerPanorámica", "Ventana panorámica", true, false, false},
        {"SubMenuImprimirImagen", "Imprimir imagen", true, false, true},
        {"seoarador", "-", true, false, false},
        {"SubMenuConfigImpresora", "Configurar impresora", true, false, true},
        {"SubMenuAyuda", "Ayuda del kelmo", false, false, false},
        {"SubMenuAcercaDe", "Acerca de", false, false, false},
    };
    for (const auto& item : items) {
        const platform::MenuItem* found = w.findMenuItem(QString::fromUtf8(item.name));
        ASSERT_NE(found, nullptr) << item.name;
        EXPECT_EQ(found->caption, QString::fromUtf8(item.caption)) << item.name;
        EXPECT_EQ(found->enabled, item.enabled) << item.name;
        EXPECT_EQ(found->checked, item.checked) << item.name;
        EXPECT_EQ(bool(found->onClick), item.hasCommand) << item.name;
    }
}

TEST_F(WindowHandlers, ButtonsLayoutTooltipsAndTabOrder) {
    const app::KelmoModel& m = kelmo.model();
    const struct {
        const platform::CommandButton& button;
        float left, top, width, height;
        const char* tip;
        int tab;
    } buttons[] = {
        {m.Aumenta, 120, 120, 495, 495, "Aumenta la ventana de visión", 0},
        {m.Disminuye, 720, 120, 495, 495, "Reduce la ventana de visión", 1},
        {m.Zoom, 120, 720, 495, 615, "Ejectúa un zoom del área seleccionada", 2},
        {m.Restore, 720, 720, 495, 615, "Restaura la imagen original", 3},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button.Left(), b.left);
        EXPECT_EQ(b.button.Top(), b.top);
        EXPECT_EQ(b.button.Width(), b.width);
        EXPECT_EQ(b.button.Height(), b.height);
        EXPECT_EQ(b.button.toolTip, QString::fromUtf8(b.tip));
        EXPECT_EQ(b.button.tabIndex, b.tab);
    }
}

} // namespace
