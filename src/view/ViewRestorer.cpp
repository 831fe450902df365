// SPDX-License-Identifier: MIT
#include "ViewRestorer.h"

namespace view {

void ViewRestorer::Restore_Click() {
    app::KelmoModel& m = model_;
    m.Image1.setHeight(float(m.state.AltoOriginal));
    m.Image1.setWidth(float(m.state.AnchoOriginal));
    // The same fit as after loading, without the minimum height that opening applies.
    m.fitWindowToView();
    m.Image1.setPicture(m.PictureClip.Picture());
    m.state.resetZoom();
    m.CuadroEnfoque.setVisible(false);
}

} // namespace view
