// SPDX-License-Identifier: MIT
#include "PrintCommands.h"

#include "platform/PlatformError.h"

#include <new>

namespace output {

namespace {

// Runs body and drops any error it raises: the print commands end silently on failure.
template <typename Body> void endingSilently(Body&& body) {
    try {
        body();
    } catch (const platform::PlatformError&) {
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

void PrintCommands::SubMenuImprimirImagen_Click() {
    endingSilently([&] { printChosenPicture(); });
    model_.Dialogo.CancelError = false;
}

void PrintCommands::printChosenPicture() {
    app::KelmoModel& m = model_;
    m.Dialogo.Flags = printFlags;
    m.Dialogo.CancelError = true;
    m.Dialogo.ShowPrinter();
    const std::int16_t copies = m.Dialogo.Copies;
    if (copies > 1) {
        m.services.printer.setCopies(copies);
    }
    const std::int32_t flags = m.Dialogo.Flags;
    // "Selection" prints what the view shows (after a zoom, the zoomed area at its own size).
    const platform::Picture& picture = (flags & components::CommonDialog::PD_SELECTION) != 0
                                           ? m.Image1.picture()
                                           : m.PictureClip.Picture();
    m.services.printer.paintPicture(picture, 1, 1);
    m.services.printer.endDoc();
}

void PrintCommands::SubMenuConfigImpresora_Click() {
    endingSilently([&] {
        model_.Dialogo.CancelError = true;
        model_.Dialogo.Flags = setupFlags;
        model_.Dialogo.ShowPrinter();
    });
    model_.Dialogo.CancelError = false;
}

} // namespace output
