// SPDX-License-Identifier: MIT
#include "PictureDrawing.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>

namespace platform {

int levelForScale(double scale) {
    int k = 0;
    while (scale > 0 && scale * double(2 << k) <= 1.0 && k < 30) {
        ++k;
    }
    return k;
}

void drawPicture(QPainter& painter, const Picture& picture, const QRectF& target,
                 const QRectF& clip, const std::function<void()>& whenSharper) {
    if (picture.isNull() || target.isEmpty()) {
        return;
    }
    const QRectF visible = target & clip;
    if (visible.isEmpty()) {
        return;
    }
    const QRect area = picture.area();
    const double sx = target.width() / area.width();
    const double sy = target.height() / area.height();
    const QRectF source(area.x() + (visible.x() - target.x()) / sx,
                        area.y() + (visible.y() - target.y()) / sy, visible.width() / sx,
                        visible.height() / sy);
    const double ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const double scale = std::max(sx, sy) * ratio;
    if (scale >= 1.0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(visible, picture.pixels(), source);
        return;
    }
    ReducedLevels& levels = picture.levels();
    const int k = std::min(levelForScale(scale), levels.deepest());
    QImage level;
    if (whenSharper) {
        int got = 0;
        level = levels.builtLevel(k, &got);
        if (got < k) {
            levels.buildInBackground(k, whenSharper);
        }
    } else {
        level = levels.level(k);
    }
    const double factor = double(picture.pixels().width()) / level.width();
    const double factorY = double(picture.pixels().height()) / level.height();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(visible, level,
                      QRectF(source.x() / factor, source.y() / factorY, source.width() / factor,
                             source.height() / factorY));
}

} // namespace platform
