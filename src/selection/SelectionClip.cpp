// SPDX-License-Identifier: MIT
#include "SelectionClip.h"

namespace selection {

using platform::CLng;
using platform::toSingle;
using platform::Variant;

SourcePoint selectionOrigin(const app::KelmoModel& m) {
    const Variant dx(toSingle(double(m.Recuadro.Left()) - m.Image1.Left()));
    const Variant dy(double(m.Recuadro.Top()) - m.Image1.Top());
    return SourcePoint{m.state.OrigenX + dx / m.state.magnificationX(),
                       m.state.OrigenY + dy / Variant(m.state.magnificationY())};
}

ClipRect setSelectionClip(app::KelmoModel& m, const SourcePoint& origin) {
    const Variant perPixelX(m.services.screen.twipsPerPixelX());
    const Variant perPixelY(m.services.screen.twipsPerPixelY());
    const Variant fx = m.state.magnificationX();
    const Variant fy(m.state.magnificationY());
    ClipRect clip;
    clip.x = CLng((origin.x / perPixelX).toDouble());
    m.PictureClip.setClipX(clip.x);
    clip.y = CLng((origin.y / perPixelY).toDouble());
    m.PictureClip.setClipY(clip.y);
    clip.width = CLng((Variant(m.Recuadro.Width()) / fx / perPixelX).toDouble());
    m.PictureClip.setClipWidth(clip.width);
    clip.height = CLng((Variant(m.Recuadro.Height()) / fy / perPixelY).toDouble());
    m.PictureClip.setClipHeight(clip.height);
    return clip;
}

platform::Picture cutSelection(app::KelmoModel& m) {
    setSelectionClip(m, selectionOrigin(m));
    return m.PictureClip.Clip();
}

bool requireSelection(app::KelmoModel& m) {
    if (m.Recuadro.Visible()) {
        return true;
    }
    m.showMessage(app::texts::noSelection, app::texts::errorTitle, platform::MessageIcon::Critical);
    return false;
}

} // namespace selection
