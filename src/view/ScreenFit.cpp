// SPDX-License-Identifier: MIT
#include "ScreenFit.h"

#include "WindowScaler.h"

namespace view {

namespace {

// Each reduction takes a third off the view; after this many a view of any size the form holds
// is far below a pixel.
constexpr int mostReductions = 64;

} // namespace

bool ScreenFit::fits(platform::Twips width, platform::Twips height, QSize area) const {
    // The window's outer size in pixels as the window itself is given it.
    const platform::CoordinateMapper mapper(model_.window.screen());
    return mapper.toPixelsX(width) <= area.width() && mapper.toPixelsY(height) <= area.height();
}

int ScreenFit::reduceToFit() {
    app::KelmoModel& m = model_;
    const QSize area = m.services.screenArea.availablePixels();
    // Where the margins and a view of one pixel do not fit, no number of reductions makes the
    // window fit: it is left as it is.
    const platform::ScreenMetrics& metrics = m.window.screen();
    if (!fits(float(m.state.MargenAncho.toDouble() + metrics.twipsPerPixelX()),
              float(m.state.MargenAlto + metrics.twipsPerPixelY()), area)) {
        return 0;
    }
    WindowScaler scaler(m);
    int reductions = 0;
    while (!fits(m.window.Width(), m.window.Height(), area) && reductions < mostReductions) {
        scaler.Disminuye_Click();
        ++reductions;
    }
    return reductions;
}

} // namespace view
