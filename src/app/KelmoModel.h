// SPDX-License-Identifier: MIT
#pragma once

// Everything the handlers of the Kelmo window work on: the window and its controls, the two
// components, the view state and the services. It is plain data laid out as the window's design
// gives it; the handlers live in one class per subsystem.

#include "ViewState.h"
#include "components/CommonDialog.h"
#include "components/PictureClip.h"
#include "platform/Form.h"
#include "platform/Frames.h"
#include "reading/BackgroundReader.h"

namespace app {

struct KelmoServices {
    platform::PictureLoader& loader;
    platform::PictureSaver& saver;
    platform::Clipboard& clipboard;
    platform::Printer& printer;
    platform::MessageBoxService& messages;
    const platform::ScreenMetrics& screen;
    const platform::ScreenArea& screenArea;
    const platform::CommandLine& commandLine;
    components::DialogPrompter& prompter;
    platform::BackgroundReader& backgroundReader;
    // Where an animation's frames are read; null where nothing plays.
    platform::FrameSource* frames = nullptr;
};

// The program's own fixed texts.
namespace texts {
inline const QString applicationTitle = QStringLiteral("Kelmo");
inline const QString incompatibleFile = QStringLiteral("El archivo no es de un tipo compatible");
inline const QString cannotFindFile = QStringLiteral("Imposible encontrar el archivo ");
inline const QString noSelection = QStringLiteral("No se ha seleccionado el área");
inline const QString errorTitle = QStringLiteral("Error");
inline const QString startupPicturePath = QStringLiteral(":/kelmo/inicio.bmp");

// What a screen reader is told of the two pictures (ViewDescription). %1, %2... are filled in
// order; sizes are width × height and places x, y, in pixels of the source picture.
namespace spoken {
inline const QString viewName = QStringLiteral("Imagen: %1");
inline const QString startupPictureName = QStringLiteral("imagen de inicio");
inline const QString noPicture = QStringLiteral("Sin imagen.");
inline const QString pictureSize = QStringLiteral("%1 × %2 píxeles.");
inline const QString wholeShown = QStringLiteral("Se ve entera, al %1.");
inline const QString regionShown = QStringLiteral("Se ve la zona de %1 × %2 desde %3, %4, al %5.");
inline const QString percent = QStringLiteral("%1 %");
inline const QString percentEach = QStringLiteral("%1 % × %2 %");
inline const QString selection = QStringLiteral("Selección: %1 × %2 desde %3, %4.");
inline const QString panoramicName = QStringLiteral("Vista panorámica");
inline const QString panoramicWhole = QStringLiteral("La imagen entera, reducida.");
inline const QString panoramicFrame =
    QStringLiteral("El recuadro de enfoque marca la zona de %1 × %2 desde %3, %4.");
} // namespace spoken
} // namespace texts

class KelmoModel {
  public:
    explicit KelmoModel(KelmoServices& services);
    KelmoModel(const KelmoModel&) = delete;
    KelmoModel& operator=(const KelmoModel&) = delete;

    KelmoServices& services;
    platform::Form window;

    // In the order the window's design lists them, which is also the drawing order.
    platform::CommandButton Aumenta{QStringLiteral("Aumenta")};
    platform::CommandButton Restore{QStringLiteral("Restore")};
    platform::CommandButton Zoom{QStringLiteral("Zoom")};
    platform::CommandButton Disminuye{QStringLiteral("Disminuye")};
    components::CommonDialog Dialogo;
    components::PictureClip PictureClip;
    platform::Shape CuadroEnfoque{QStringLiteral("CuadroEnfoque")};
    platform::PictureBox ImagenPanoramica{QStringLiteral("ImagenPanoramica")};
    platform::Shape Recuadro{QStringLiteral("Recuadro")};
    platform::PictureBox Image1{QStringLiteral("Image1")};

    ViewState state;
    // The file the source picture was read from; empty while it is the built-in picture.
    QString shownFile;

    // Shows the program's own message with an OK button only.
    void showMessage(const QString& text, const QString& title = texts::applicationTitle,
                     platform::MessageIcon icon = platform::MessageIcon::None);
    // Fits the window around the view: outer Height from Image1's height plus MargenAlto, then
    // outer Width from its width plus MargenAncho, each sum in single precision.
    void fitWindowToView();

  private:
    void placeControls();
};

} // namespace app
