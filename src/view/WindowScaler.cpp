// SPDX-License-Identifier: MIT
#include "WindowScaler.h"

namespace view {

using platform::toSingle;
using platform::Variant;

double WindowScaler::scaled(double value, Step step) {
    return step == Step::Enlarge ? value * 3 / 2 : (value + value) / 3;
}

void WindowScaler::scale(Step step) {
    app::KelmoModel& m = model_;
    platform::PictureBox& v = m.Image1;
    v.setVisible(false);
    m.window.setHeight(toSingle(scaled(v.Height(), step) + m.state.MargenAlto));
    m.window.setWidth(
        float((Variant(toSingle(scaled(v.Width(), step))) + m.state.MargenAncho).toDouble()));
    v.setHeight(toSingle(scaled(v.Height(), step)));
    v.setWidth(toSingle(scaled(v.Width(), step)));
    v.setVisible(true);
    m.state.FactorVentana = platform::checkedDouble(scaled(m.state.FactorVentana, step));
    if (m.Recuadro.Visible()) {
        scaleSelection(step);
    }
}

void WindowScaler::scaleSelection(Step step) {
    // The selection is scaled about the view's top-left corner so that it still covers the same
    // part of the picture.
    platform::Shape& r = model_.Recuadro;
    const platform::PictureBox& v = model_.Image1;
    r.setLeft(toSingle(scaled(double(r.Left()) - v.Left(), step) + v.Left()));
    r.setTop(toSingle(scaled(double(r.Top()) - v.Top(), step) + v.Top()));
    r.setWidth(toSingle(scaled(r.Width(), step)));
    r.setHeight(toSingle(scaled(r.Height(), step)));
}

} // namespace view
