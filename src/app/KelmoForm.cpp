// SPDX-License-Identifier: MIT
#include "KelmoForm.h"

#include "StartUp.h"
#include "ViewDescription.h"
#include "platform/PlatformError.h"

namespace app {

using platform::MenuItem;

namespace {

constexpr std::int16_t keyEscape = 27;
constexpr std::int16_t keyA = 65;
constexpr std::int16_t keyC = 67;
constexpr std::int16_t keyMenu = 93;
constexpr std::int16_t keyP = 80;
constexpr std::int16_t keyComma = 188;
constexpr std::int16_t keyPeriod = 190;
constexpr std::int16_t keyF10 = 121;
constexpr std::int16_t keyPageUp = 33;
constexpr std::int16_t keyPageDown = 34;
constexpr std::int16_t keyEnd = 35;
constexpr std::int16_t keyHome = 36;
constexpr std::int16_t keyLeft = 37;
constexpr std::int16_t keyUp = 38;
constexpr std::int16_t keyRight = 39;
constexpr std::int16_t keyDown = 40;
constexpr std::int16_t shiftBit = 1;
constexpr std::int16_t ctrlBit = 2;
constexpr std::int16_t altBit = 4;
constexpr std::int16_t rightButton = 2;

MenuItem command(const char* name, const QString& caption, std::function<void()> onClick = {}) {
    MenuItem item;
    item.name = QString::fromUtf8(name);
    item.caption = caption;
    item.onClick = std::move(onClick);
    return item;
}

MenuItem separator(const char* name) {
    return command(name, QStringLiteral("-"));
}

MenuItem disabled(const char* name, const QString& caption) {
    MenuItem item = command(name, caption);
    item.enabled = false;
    return item;
}

// An item that shows a check mark state and carries no command.
MenuItem checkOnly(const char* name, const QString& caption, bool checked) {
    MenuItem item = command(name, caption);
    item.checkable = true;
    item.checked = checked;
    return item;
}

// The screen pixels an arrow key moves the selection's corner by, across and down.
std::optional<std::pair<int, int>> cornerStep(std::int16_t keyCode) {
    switch (keyCode) {
    case keyLeft:
        return std::pair{-1, 0};
    case keyRight:
        return std::pair{1, 0};
    case keyUp:
        return std::pair{0, -1};
    case keyDown:
        return std::pair{0, 1};
    default:
        return std::nullopt;
    }
}

std::optional<browsing::Move> folderMove(std::int16_t keyCode) {
    switch (keyCode) {
    case keyRight:
    case keyPageDown:
        return browsing::Move::Next;
    case keyLeft:
    case keyPageUp:
        return browsing::Move::Previous;
    case keyHome:
        return browsing::Move::First;
    case keyEnd:
        return browsing::Move::Last;
    default:
        return std::nullopt;
    }
}

} // namespace

KelmoForm::KelmoForm(KelmoServices& services) : model_(services) {
    // The clipper holds the built-in start-up picture from the window's creation on; it is read
    // through the same loader as any file.
    try {
        model_.PictureClip.setPicture(services.loader.loadPicture(texts::startupPicturePath));
    } catch (const platform::PlatformError&) {
        // A build without its resource shows an empty view rather than no window at all.
    }
    buildMenus();
    wireEvents();
    opener_.beforeRead = [this] { browser_.dropReadAhead(); };
}

void KelmoForm::buildMenus() {
    MenuItem file = command("MenuFile", QStringLiteral("Fichero"));
    file.items = {
        command("SubMenuAbrir", QStringLiteral("Abrir Imagen"), [this] { SubMenuAbrir_Click(); }),
        command("SubMenuCerrar", QStringLiteral("Cerrar"), [this] { SubMenuCerrar_Click(); }),
        separator("separador"),
        command("SaveSelected", QStringLiteral("Guardar seleccionado"),
                [this] { SaveSelected_Click(); }),
        separator("separator1"),
        disabled("SubMenuPropiedades", QStringLiteral("Propiedades")),
    };
    MenuItem edit = command("menuEdit", QStringLiteral("Editar"));
    edit.items = {
        command("ToClipBoard", QStringLiteral("Pegar al portapapeles"),
                [this] { ToClipBoard_Click(); }),
        disabled("FromClipBoard", QStringLiteral("Leer del Portapapeles")),
        separator("separator2"),
        command("SubMenuAmpliar", QStringLiteral("Ampliar Ventana"),
                [this] { SubMenuAmpliar_Click(); }),
        command("SubMenuReducir", QStringLiteral("Reducir ventana"),
                [this] { SubMenuReducir_Click(); }),
        separator("separator"),
        command("SubMenuRestore", QStringLiteral("Restaurar imagen"),
                [this] { SubMenuRestore_Click(); }),
    };
    MenuItem kelmo = command("MenuKelmo", QStringLiteral("Kelmo"));
    kelmo.items = {
        checkOnly("VerMenu", QStringLiteral("Barra de menús"), true),
        checkOnly("VerHerramientas", QStringLiteral("Herramientas"), true),
        checkOnly("VerPanorámica", QStringLiteral("Ventana panorámica"), false),
    };
    MenuItem print = command("MenuImprimir", QStringLiteral("Imprimir"));
    print.items = {
        command("SubMenuImprimirImagen", QStringLiteral("Imprimir imagen"),
                [this] { SubMenuImprimirImagen_Click(); }),
        separator("seoarador"),
        command("SubMenuConfigImpresora", QStringLiteral("Configurar impresora"),
                [this] { SubMenuConfigImpresora_Click(); }),
    };
    MenuItem help = command("MenuHelp", QStringLiteral("Ayuda"));
    help.items = {
        disabled("SubMenuAyuda", QStringLiteral("Ayuda del kelmo")),
        disabled("SubMenuAcercaDe", QStringLiteral("Acerca de")),
    };
    model_.window.menuBar() = {file, edit, kelmo, print, help};
}

void KelmoForm::wireEvents() {
    platform::Form& w = model_.window;
    w.onLoad = [this] { Form_Load(); };
    w.onKeyDown = [this](std::int16_t key, std::int16_t shift) { Form_KeyDown(key, shift); };
    w.onMouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) {
        Form_MouseDown(b, s, x, y);
    };
    w.onLinkError = [this](std::int16_t error) { Form_LinkError(error); };
    w.onFileDropped = [this](const QString& path) { Form_FileDropped(path); };
    w.afterEvent = [this] {
        player_.followShownPicture();
        describeView(model_);
    };
    w.onShownChanged = [this](bool shown) { player_.setShownOnScreen(shown); };
    model_.Aumenta.onClick = [this] { Aumenta_Click(); };
    model_.Disminuye.onClick = [this] { Disminuye_Click(); };
    model_.Zoom.onClick = [this] { Zoom_Click(); };
    model_.Restore.onClick = [this] { Restore_Click(); };
    model_.Image1.onMouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) {
        Image1_MouseDown(b, s, x, y);
    };
    model_.Image1.onMouseMove = [this](std::int16_t b, std::int16_t s, float x, float y) {
        Image1_MouseMove(b, s, x, y);
    };
    model_.ImagenPanoramica.onMouseDown = [this](std::int16_t b, std::int16_t s, float x, float y) {
        ImagenPanoramica_MouseDown(b, s, x, y);
    };
    model_.ImagenPanoramica.onMouseMove = [this](std::int16_t b, std::int16_t s, float x, float y) {
        ImagenPanoramica_MouseMove(b, s, x, y);
    };
}

void KelmoForm::Form_Load() {
    app::Form_Load(model_);
    // Reading ahead waits until the window is on screen.
    browser_.pictureShown(false);
}

void KelmoForm::Form_FileDropped(const QString& path) {
    opener_.openFile(path);
    browser_.pictureShown();
}

void KelmoForm::Form_KeyDown(std::int16_t keyCode, std::int16_t shift) {
    if (keyCode == keyEscape) {
        selection_.hide();
    } else if (keyCode == keyC && (shift & ctrlBit) != 0) {
        ToClipBoard_Click();
    } else if (keyboardCommand(keyCode, shift) || playingCommand(keyCode, shift)) {
        // The keys that stand for the pointer go no further: an arrow would also move the focus.
        model_.window.consumeKey();
    } else if ((shift & (ctrlBit | altBit)) != 0) {
        return; // the keys of the folder go alone
    } else if (const std::optional<browsing::Move> move = folderMove(keyCode)) {
        // The folder's keys do not also move the focus between the buttons.
        model_.window.consumeKey();
        browser_.go(*move);
    }
}

bool KelmoForm::keyboardCommand(std::int16_t keyCode, std::int16_t shift) {
    if ((shift & altBit) != 0) {
        return false;
    }
    if (keyCode == keyA && shift == ctrlBit) {
        selection_.selectAll();
        return true;
    }
    if (keyCode == keyMenu || (keyCode == keyF10 && shift == shiftBit)) {
        if (const MenuItem* edit = model_.window.findMenuItem(QStringLiteral("menuEdit"))) {
            model_.window.popupMenuOver(*edit, model_.Image1);
        }
        return true;
    }
    if ((shift & shiftBit) != 0) {
        if (const auto step = cornerStep(keyCode)) {
            const int pixels = (shift & ctrlBit) != 0 ? 10 : 1;
            selection_.moveCorner(step->first * pixels, step->second * pixels);
            return true;
        }
    }
    return false;
}

bool KelmoForm::playingCommand(std::int16_t keyCode, std::int16_t shift) {
    if (shift != 0 || !player_.animating()) {
        return false;
    }
    switch (keyCode) {
    case keyP:
        player_.togglePause();
        return true;
    case keyPeriod:
    case keyComma:
        player_.step(keyCode == keyPeriod ? 1 : -1);
        return true;
    default:
        return false;
    }
}

void KelmoForm::Form_MouseDown(std::int16_t button, std::int16_t, float, float) {
    if (button == rightButton) {
        if (const MenuItem* file = model_.window.findMenuItem(QStringLiteral("MenuFile"))) {
            model_.window.popupMenu(*file);
        }
    }
}

void KelmoForm::Form_LinkError(std::int16_t) {
    model_.window.setCaption(QStringLiteral("ERROR"));
}

} // namespace app
