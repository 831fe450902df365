// SPDX-License-Identifier: MIT
#include "LoadedPicture.h"

#include "platform/Numeric.h"
#include "platform/PlatformError.h"

namespace loading {

using platform::CLng;
using platform::toSingle;

double ratio(float a, float b) {
    if (b == 0.0f) {
        throw platform::PlatformError(platform::ErrorNumber::DivisionByZero);
    }
    return double(a) / double(b);
}

bool readPictureStep(platform::ErrorRecord& errors, const std::function<platform::Picture()>& read,
                     std::optional<platform::Picture>& picture) {
    bool cancelled = false;
    errors.step([&] {
        try {
            picture = read();
        } catch (const platform::PlatformError& error) {
            if (error.number() != platform::ErrorNumber::DialogCancelled) {
                throw;
            }
            cancelled = true;
        }
    });
    return !cancelled;
}

void showLoadedPicture(app::KelmoModel& m, platform::ErrorRecord& errors,
                       MinimumHeight minimumHeight) {
    errors.step(
        [&] { m.window.setHeight(toSingle(double(m.Image1.Height()) + m.state.MargenAlto)); });
    errors.step([&] {
        m.window.setWidth(
            float((platform::Variant(m.Image1.Width()) + m.state.MargenAncho).toDouble()));
    });
    errors.step([&] { m.Image1.setStretch(true); });
    errors.step([&] { m.state.AltoOriginal = CLng(m.Image1.Height()); });
    errors.step([&] { m.state.AnchoOriginal = CLng(m.Image1.Width()); });
    errors.step([&] { m.ImagenPanoramica.setPicture(m.PictureClip.Picture()); });
    if (minimumHeight == MinimumHeight::KeepPanoramicVisible) {
        errors.step([&] {
            const float needed = toSingle(double(m.ImagenPanoramica.Top()) +
                                          m.ImagenPanoramica.Height() + m.state.MargenAlto);
            if (needed > m.window.Height()) {
                m.window.setHeight(needed);
            }
        });
    }
    errors.step(
        [&] { m.state.RelPanoramicaX = ratio(m.ImagenPanoramica.Width(), m.Image1.Width()); });
    errors.step(
        [&] { m.state.RelPanoramicaY = ratio(m.ImagenPanoramica.Height(), m.Image1.Height()); });
}

} // namespace loading
