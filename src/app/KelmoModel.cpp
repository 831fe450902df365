#include "KelmoModel.h"

namespace app {

using platform::toSingle;
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
    window.setClientSize(6195, 4545);

    Aumenta.place(120, 120, 495, 495);
    Aumenta.iconName = QStringLiteral("aumenta");
    Aumenta.toolTip = QStringLiteral("Aumenta la ventana de visión");
    Aumenta.tabIndex = 0;
    Restore.place(720, 720, 495, 615);
    Restore.iconName = QStringLiteral("restore");
    Restore.toolTip = QStringLiteral("Restaura la imagen original");
    Restore.tabIndex = 3;
    Zoom.place(120, 720, 495, 615);
    Zoom.iconName = QStringLiteral("zoom");
    Zoom.toolTip = QStringLiteral("Ejectúa un zoom del área seleccionada");
    Zoom.tabIndex = 2;
    Disminuye.place(720, 120, 495, 495);
    Disminuye.iconName = QStringLiteral("disminuye");
    Disminuye.toolTip = QStringLiteral("Reduce la ventana de visión");
    Disminuye.tabIndex = 1;

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
