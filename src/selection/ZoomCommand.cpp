// SPDX-License-Identifier: MIT
#include "ZoomCommand.h"

#include "SelectionClip.h"

namespace selection {

using platform::toSingle;
using platform::Variant;

void ZoomCommand::Zoom_Click() {
    app::KelmoModel& m = model_;
    if (!m.Recuadro.Visible()) {
        return;
    }
    const float width = m.Recuadro.Width();
    const float height = m.Recuadro.Height();
    // A click or a drag along one axis leaves a selection with no area. Zooming into it would
    // divide by zero half-way through, so such a zoom leaves everything as it is.
    if (width == 0.0f || height == 0.0f) {
        return;
    }
    m.Recuadro.setVisible(false);

    // The factors from before this zoom serve every step up to the new factors.
    const Variant fx = m.state.magnificationX();
    const double fy = m.state.magnificationY();
    const SourcePoint origin = selectionOrigin(m);
    m.state.OrigenX = origin.x;
    m.state.OrigenY = origin.y;
    setSelectionClip(m, origin);
    placeFocusFrame(fx, fy, width, height);

    const float r = toSingle(double(m.Image1.Width()) / width);
    m.state.FactorZoomX = Variant(r) * m.state.FactorZoomX;
    m.state.FactorZoomY =
        platform::checkedDouble((double(m.Image1.Height()) / height) * m.state.FactorZoomY);
    m.Image1.setPicture(m.PictureClip.Clip());
}

void ZoomCommand::placeFocusFrame(const Variant& fx, double fy, float width, float height) {
    app::KelmoModel& m = model_;
    const double relX = m.state.RelPanoramicaX;
    const double relY = m.state.RelPanoramicaY;
    m.CuadroEnfoque.setTop(toSingle(m.ImagenPanoramica.Top() + m.state.OrigenY.toDouble() * relY));
    m.CuadroEnfoque.setLeft(
        toSingle(m.ImagenPanoramica.Left() + m.state.OrigenX.toDouble() * relX));
    m.CuadroEnfoque.setHeight(toSingle(relY / fy * height));
    m.CuadroEnfoque.setWidth(toSingle((Variant(relX) / fx).toDouble() * width));
    m.CuadroEnfoque.setVisible(true);
}

} // namespace selection
