// SPDX-License-Identifier: MIT
#include "PictureOpener.h"

#include "LoadedPicture.h"
#include "view/ScreenFit.h"

namespace loading {

void PictureOpener::SubMenuAbrir_Click() {
    app::KelmoModel& m = model_;
    // Every step from here on resumes after an error; the record is tested once the picture has
    // been given to the view.
    platform::ErrorRecord errors;
    errors.step([&] { m.Dialogo.ShowOpen(); });
    QString name;
    errors.step([&] { name = m.Dialogo.FileName; });
    if (name.isEmpty()) {
        return; // cancelled: nothing changes, even while zoomed
    }
    openFile(errors, name);
}

void PictureOpener::openFile(const QString& name) {
    platform::ErrorRecord errors;
    openFile(errors, name);
}

void PictureOpener::openFile(platform::ErrorRecord& errors, const QString& name) {
    if (beforeRead) {
        beforeRead();
    }
    show(errors, name, [&] { return model_.services.loader.loadPicture(name); });
}

void PictureOpener::showFile(const QString& name, const std::function<platform::Picture()>& read) {
    platform::ErrorRecord errors;
    show(errors, name, read);
}

void PictureOpener::show(platform::ErrorRecord& errors, const QString& name,
                         const std::function<platform::Picture()>& read) {
    app::KelmoModel& m = model_;
    std::optional<platform::Picture> picture;
    if (!readPictureStep(errors, read, picture)) {
        return; // the read was cancelled: nothing changes either
    }
    errors.step([&] { m.state.resetZoom(); });
    if (picture) {
        errors.step([&] { m.PictureClip.setPicture(*std::move(picture)); });
    }
    errors.step([&] { m.Image1.setStretch(false); });
    errors.step([&] { m.Image1.setPicture(m.PictureClip.Picture()); });
    if (errors.failed()) {
        m.showMessage(app::texts::cannotFindFile + name);
        return;
    }
    m.shownFile = name;
    errors.step([&] { m.window.setCaption(name); });
    showLoadedPicture(m, errors, MinimumHeight::KeepPanoramicVisible);
    errors.step([&] { m.Recuadro.setVisible(false); });
    errors.step([&] { m.CuadroEnfoque.setVisible(false); });
    errors.step([&] { view::ScreenFit(m).reduceToFit(); });
}

} // namespace loading
