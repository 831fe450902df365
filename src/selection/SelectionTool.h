// SPDX-License-Identifier: MIT
#pragma once

#include "app/KelmoModel.h"

#include <cstdint>

namespace selection {

// The selection rectangle Recuadro over the view, in window twips. A left press anchors it at
// the press point; left-button moves size it down and to the right once the pointer has moved at
// least 10 twips on both axes since the last accepted move.
class SelectionTool {
  public:
    explicit SelectionTool(app::KelmoModel& model) : model_(model) {}

    void Image1_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void Image1_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    // Esc: the selection is gone; its geometry and the last accepted point stay.
    void hide();

    // The last accepted move, relative to Image1. It survives from one drag to the next: a
    // press does not reset it, only a move above or left of the anchor does.
    const platform::Variant& UltimoX() const { return ultimoX_; }
    std::int32_t UltimoY() const { return ultimoY_; }

  private:
    app::KelmoModel& model_;
    platform::Variant ultimoX_;
    std::int32_t ultimoY_ = 0;
};

} // namespace selection
