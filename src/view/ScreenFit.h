// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

#include <QSize>

namespace view {

// A picture larger than the screen is shown whole: once a new picture is shown with the window
// fitted around it, the window is reduced as "Reducir ventana" reduces it, as many times as it
// takes for the window to fit the screen's available area, and no more. A window that fits is
// left as it is.
class ScreenFit {
  public:
    explicit ScreenFit(app::KelmoModel& model) : model_(model) {}

    // Returns the number of reductions made.
    int reduceToFit();

  private:
    // Both sizes in the screen's device-independent pixels.
    bool fits(platform::Twips width, platform::Twips height, QSize area) const;

    app::KelmoModel& model_;
};

} // namespace view
