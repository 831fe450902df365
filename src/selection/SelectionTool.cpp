// SPDX-License-Identifier: MIT
#include "SelectionTool.h"

#include <algorithm>
#include <cmath>

namespace selection {

using platform::toSingle;
using platform::Variant;

void SelectionTool::Image1_MouseDown(std::int16_t button, std::int16_t, float x, float y) {
    app::KelmoModel& m = model_;
    if (button == 1) {
        anchorAt(x, y);
    } else if (button == 2) {
        if (const platform::MenuItem* edit = m.window.findMenuItem(QStringLiteral("menuEdit"))) {
            m.window.popupMenu(*edit);
        }
    }
}

void SelectionTool::Image1_MouseMove(std::int16_t button, std::int16_t, float x, float y) {
    app::KelmoModel& m = model_;
    const bool visible = m.Recuadro.Visible();
    if (button != 1 || !visible) {
        return;
    }
    if (std::fabs(double(y) - ultimoY_) < 10 ||
        std::fabs((Variant(x) - ultimoX_).toDouble()) < 10) {
        return;
    }
    if (toSingle(double(y) + m.Image1.Top()) < m.Recuadro.Top() ||
        toSingle(double(x) + m.Image1.Left()) < m.Recuadro.Left()) {
        ultimoX_ = Variant::integer(0);
        ultimoY_ = 0;
        return;
    }
    ultimoX_ = Variant(x);
    ultimoY_ = platform::CLng(y);
    sizeTo(x, y);
}

void SelectionTool::anchorAt(float x, float y) {
    app::KelmoModel& m = model_;
    m.Recuadro.setTop(toSingle(double(y) + m.Image1.Top()));
    m.Recuadro.setLeft(toSingle(double(x) + m.Image1.Left()));
    m.Recuadro.setHeight(0);
    m.Recuadro.setWidth(0);
    m.Recuadro.setVisible(true);
}

void SelectionTool::sizeTo(float x, float y) {
    sizeDownTo(y);
    sizeAcrossTo(x);
}

void SelectionTool::sizeDownTo(float y) {
    app::KelmoModel& m = model_;
    m.Recuadro.setHeight(toSingle(double(y) + m.Image1.Top() - m.Recuadro.Top()));
}

void SelectionTool::sizeAcrossTo(float x) {
    app::KelmoModel& m = model_;
    m.Recuadro.setWidth(toSingle(double(x) + m.Image1.Left() - m.Recuadro.Left()));
}

void SelectionTool::selectAll() {
    anchorAt(0, 0);
    sizeTo(model_.Image1.Width(), model_.Image1.Height());
}

void SelectionTool::moveCorner(int pixelsAcross, int pixelsDown) {
    app::KelmoModel& m = model_;
    if (!m.Recuadro.Visible()) {
        anchorAt(0, 0);
    }
    // The opposite corner moves between the anchor and the view's far edge; an axis the key
    // does not move keeps its size, even where a drag took it past that edge.
    const auto moved = [](double anchor, double size, double step, double viewSize) {
        const double corner = anchor + size + step;
        return toSingle(std::max(anchor, std::min(corner, std::max(anchor, viewSize))));
    };
    if (pixelsDown != 0) {
        const double anchorY = double(m.Recuadro.Top()) - m.Image1.Top();
        sizeDownTo(moved(anchorY, m.Recuadro.Height(),
                         double(m.services.screen.twipsPerPixelY()) * pixelsDown,
                         m.Image1.Height()));
    }
    if (pixelsAcross != 0) {
        const double anchorX = double(m.Recuadro.Left()) - m.Image1.Left();
        sizeAcrossTo(moved(anchorX, m.Recuadro.Width(),
                           double(m.services.screen.twipsPerPixelX()) * pixelsAcross,
                           m.Image1.Width()));
    }
}

void SelectionTool::hide() {
    model_.Recuadro.setVisible(false);
}

} // namespace selection
