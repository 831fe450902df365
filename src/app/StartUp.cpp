// SPDX-License-Identifier: MIT
#include "StartUp.h"

#include "loading/LoadedPicture.h"
#include "view/ScreenFit.h"

namespace app {

void Form_Load(KelmoModel& m) {
    m.state.MargenAncho = platform::Variant::integer(1454);
    m.state.MargenAlto = 700;
    m.Image1.setLeft(1320);
    m.state.resetZoom();

    // From here on every error is passed over and the record is tested once.
    platform::ErrorRecord errors;
    QString name;
    errors.step([&] { name = m.services.commandLine.text(); });
    QString shown; // the file the picture comes from, once it is read
    if (!name.isEmpty()) {
        // When loading fails or is cancelled the clipper keeps the start-up picture it holds.
        std::optional<platform::Picture> picture;
        const auto read = [&] { return m.services.loader.loadPicture(name); };
        if (loading::readPictureStep(errors, read, picture) && picture) {
            errors.step([&] { m.PictureClip.setPicture(*std::move(picture)); });
            shown = name;
        }
    }
    errors.step([&] { m.Image1.setPicture(m.PictureClip.Picture()); });
    if (errors.failed()) {
        m.showMessage(texts::incompatibleFile);
        return;
    }
    m.shownFile = shown;
    loading::showLoadedPicture(m, errors, loading::MinimumHeight::NotApplied);
    errors.step([&] { view::ScreenFit(m).reduceToFit(); });
}

} // namespace app
