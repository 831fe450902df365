// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

#include <cstdint>

namespace view {

// Dragging the focus frame over the panoramic copy moves the region shown in Image1. The frame
// moves by the pointer's movement (it never jumps to the pointer), stays inside the copy, and
// every move event cuts and shows the region under it.
class PanoramicNavigator {
  public:
    explicit PanoramicNavigator(app::KelmoModel& model) : model_(model) {}

    void ImagenPanoramica_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void ImagenPanoramica_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);

  private:
    void keepFrameInsideCopy();
    void showRegionUnderFrame();

    app::KelmoModel& model_;
};

} // namespace view
