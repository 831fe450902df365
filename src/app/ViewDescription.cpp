// SPDX-License-Identifier: MIT
#include "ViewDescription.h"

#include "platform/PlatformError.h"
#include "selection/SelectionClip.h"

#include <QFileInfo>
#include <cmath>

namespace app {

namespace {

namespace spoken = texts::spoken;

// A region of the source picture, in its pixels.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

QString magnification(const ViewState& state) {
    const long long across = std::llround(state.magnificationX().toDouble() * 100.0);
    const long long down = std::llround(state.magnificationY() * 100.0);
    return across == down ? spoken::percent.arg(across) : spoken::percentEach.arg(across).arg(down);
}

// The part of the source picture the view shows after a zoom or a move of the focus frame: the
// cut on show, as the clipper trimmed it.
Region shownRegion(const KelmoModel& m) {
    const QRect area = m.Image1.picture().area();
    return Region{area.x(), area.y(), area.width(), area.height()};
}

QString placed(const QString& text, const Region& r) {
    return text.arg(r.width).arg(r.height).arg(r.x).arg(r.y);
}

QString viewDescription(const KelmoModel& m, bool zoomed) {
    const QSize size = m.PictureClip.Picture().size();
    if (m.PictureClip.Picture().isNull()) {
        return spoken::noPicture;
    }
    QString text = spoken::pictureSize.arg(size.width()).arg(size.height());
    text += QLatin1Char(' ');
    if (zoomed) {
        text += placed(spoken::regionShown, shownRegion(m)).arg(magnification(m.state));
    } else {
        text += spoken::wholeShown.arg(magnification(m.state));
    }
    if (m.Recuadro.Visible()) {
        // What a copy would cut now; a selection whose numbers overflow is not described.
        try {
            const selection::ClipRect clip = selection::selectionClip(m);
            text += QLatin1Char(' ');
            text += spoken::selection.arg(clip.width).arg(clip.height).arg(clip.x).arg(clip.y);
        } catch (const platform::PlatformError&) {
        }
    }
    return text;
}

} // namespace

void describeView(KelmoModel& m) {
    const bool zoomed = m.CuadroEnfoque.Visible() && !m.Image1.picture().isNull();
    const QString shown =
        m.shownFile.isEmpty() ? spoken::startupPictureName : QFileInfo(m.shownFile).fileName();
    m.Image1.setAccessibleText(spoken::viewName.arg(shown), viewDescription(m, zoomed));
    m.ImagenPanoramica.setAccessibleText(spoken::panoramicName,
                                         zoomed ? placed(spoken::panoramicFrame, shownRegion(m))
                                                : spoken::panoramicWhole);
}

} // namespace app
