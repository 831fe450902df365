// SPDX-License-Identifier: MIT
#include "SelectionTool.h"

#include <cmath>

namespace selection {

using platform::toSingle;
using platform::Variant;

void SelectionTool::Image1_MouseDown(std::int16_t button, std::int16_t, float x, float y) {
    app::KelmoModel& m = model_;
    if (button == 1) {
        m.Recuadro.setTop(toSingle(double(y) + m.Image1.Top()));
        m.Recuadro.setLeft(toSingle(double(x) + m.Image1.Left()));
        m.Recuadro.setHeight(0);
        m.Recuadro.setWidth(0);
        m.Recuadro.setVisible(true);
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
    m.Recuadro.setHeight(toSingle(double(y) + m.Image1.Top() - m.Recuadro.Top()));
    m.Recuadro.setWidth(toSingle(double(x) + m.Image1.Left() - m.Recuadro.Left()));
}

void SelectionTool::hide() {
    model_.Recuadro.setVisible(false);
}

} // namespace selection
