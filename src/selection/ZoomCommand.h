// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

namespace selection {

// The Zoom button: the selected area fills Image1, cut from the whole source picture, and the
// focus frame marks the same region on the panoramic copy.
class ZoomCommand {
  public:
    explicit ZoomCommand(app::KelmoModel& model) : model_(model) {}
    void Zoom_Click();

  private:
    void placeFocusFrame(const platform::Variant& fx, double fy, float width, float height);

    app::KelmoModel& model_;
};

} // namespace selection
