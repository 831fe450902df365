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

    // The keyboard's selection, made as a press and an accepted move are, without the moves'
    // threshold (which belongs to the pointer) and without touching the last accepted point.
    // Ctrl+A: the whole view.
    void selectAll();
    // Shift+arrow: the corner opposite the anchor moves by whole screen pixels, kept within the
    // view and never above or left of the anchor; without a selection, one starts at the view's
    // top-left corner.
    void moveCorner(int pixelsAcross, int pixelsDown);

    // The last accepted move, relative to Image1. It survives from one drag to the next: a
    // press does not reset it, only a move above or left of the anchor does.
    const platform::Variant& UltimoX() const { return ultimoX_; }
    std::int32_t UltimoY() const { return ultimoY_; }

  private:
    // A press's anchor and an accepted move's size, in twips relative to Image1.
    void anchorAt(float x, float y);
    void sizeTo(float x, float y);
    void sizeDownTo(float y);
    void sizeAcrossTo(float x);

    app::KelmoModel& model_;
    platform::Variant ultimoX_;
    std::int32_t ultimoY_ = 0;
};

} // namespace selection
