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

namespace {

// Each value of the clip rectangle, in source pixels; each raises the overflow error on its own.
std::int32_t clipX(const app::KelmoModel& m, const SourcePoint& origin) {
    return CLng((origin.x / Variant(m.services.screen.twipsPerPixelX())).toDouble());
}

std::int32_t clipY(const app::KelmoModel& m, const SourcePoint& origin) {
    return CLng((origin.y / Variant(m.services.screen.twipsPerPixelY())).toDouble());
}

std::int32_t clipWidth(const app::KelmoModel& m) {
    const Variant perPixelX(m.services.screen.twipsPerPixelX());
    return CLng((Variant(m.Recuadro.Width()) / m.state.magnificationX() / perPixelX).toDouble());
}

std::int32_t clipHeight(const app::KelmoModel& m) {
    const Variant perPixelY(m.services.screen.twipsPerPixelY());
    const Variant fy(m.state.magnificationY());
    return CLng((Variant(m.Recuadro.Height()) / fy / perPixelY).toDouble());
}

} // namespace

ClipRect setSelectionClip(app::KelmoModel& m, const SourcePoint& origin) {
    ClipRect clip;
    clip.x = clipX(m, origin);
    m.PictureClip.setClipX(clip.x);
    clip.y = clipY(m, origin);
    m.PictureClip.setClipY(clip.y);
    clip.width = clipWidth(m);
    m.PictureClip.setClipWidth(clip.width);
    clip.height = clipHeight(m);
    m.PictureClip.setClipHeight(clip.height);
    return clip;
}

ClipRect selectionClip(const app::KelmoModel& m) {
    const SourcePoint origin = selectionOrigin(m);
    return ClipRect{clipX(m, origin), clipY(m, origin), clipWidth(m), clipHeight(m)};
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
