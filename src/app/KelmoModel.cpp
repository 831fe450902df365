// SPDX-License-Identifier: MIT
#include "KelmoModel.h"

namespace app {

using platform::toSingle;
using platform::TwipsRect;
using platform::Variant;

KelmoModel::KelmoModel(KelmoServices& serviceSet)
    : services(serviceSet), window(texts::applicationTitle, texts::applicationTitle,
                                   serviceSet.screen, serviceSet.messages),
      Dialogo(serviceSet.prompter) {
    placeControls();
}

void KelmoModel::placeControls() {
    window.linkTopic = QStringLiteral("Form1");
    window.keyPreview = true;
    // Beside the view: the fitting margins (1454 and 700) less the view's left and top edges.
    window.designedNonClientWidth = 1454 - 1320;
    window.designedNonClientHeight = 700;
    window.setClientSize(6195, 4545);

    const struct {
        platform::CommandButton& button;
        TwipsRect rect;
        const char* icon;
        const char* toolTip;
        int tabIndex;
    } buttons[] = {
        {Aumenta, {120, 120, 495, 495}, "aumenta", "Aumenta la ventana de visión", 0},
        {Restore, {720, 720, 495, 615}, "restore", "Restaura la imagen original", 3},
        {Zoom, {120, 720, 495, 615}, "zoom", "Ejectúa un zoom del área seleccionada", 2},
        {Disminuye, {720, 120, 495, 495}, "disminuye", "Reduce la ventana de visión", 1},
    };
    for (const auto& b : buttons) {
        b.button.place(b.rect.left, b.rect.top, b.rect.width, b.rect.height);
        b.button.iconName = QString::fromUtf8(b.icon);
        b.button.toolTip = QString::fromUtf8(b.toolTip);
        b.button.tabIndex = b.tabIndex;
    }

    CuadroEnfoque.place(1320, 3480, 1215, 495);
    CuadroEnfoque.setVisible(false);
    ImagenPanoramica.place(120, 1440, 1095, 1215);
    ImagenPanoramica.setStretch(true);
    Recuadro.place(3840, 3240, 1215, 495);
    Recuadro.setVisible(false);
    Image1.place(1320, 0, 3900, 3900);
    Image1.setStretch(false);
    Image1.crosshairPointer = true;

    for (platform::Control* control : std::initializer_list<platform::Control*>{
             &Aumenta, &Restore, &Zoom, &Disminuye, &CuadroEnfoque, &ImagenPanoramica, &Recuadro,
             &Image1}) {
        window.addControl(*control);
    }
}

void KelmoModel::showMessage(const QString& text, const QString& title,
                             platform::MessageIcon icon) {
    services.messages.show(text, title, icon);
}

void KelmoModel::fitWindowToView() {
    window.setHeight(toSingle(double(Image1.Height()) + state.MargenAlto));
    window.setWidth(float((Variant(Image1.Width()) + state.MargenAncho).toDouble()));
}

} // namespace app
