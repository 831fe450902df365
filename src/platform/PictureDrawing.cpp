#include "PictureDrawing.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// Enlarges the source rectangle onto the painter with sharp pixels. The enlarged pixels are
// made in a buffer kept from frame to frame, a row at a time, repeating a finished row wherever
// the next one comes from the same source row, and then copied to the device unscaled: cheaper
// than the general scaled drawing, and the same pixels.
void drawEnlarged(QPainter& painter, const QImage& pixels, const QRectF& source,
                  const QRectF& visible, double ratio) {
    const QSize size(int(std::ceil(visible.width() * ratio - 1e-9)),
                     int(std::ceil(visible.height() * ratio - 1e-9)));
    if (size.isEmpty()) {
        return;
    }
    thread_local QImage buffer;
    thread_local std::vector<int> columns;
    if (buffer.size() != size || buffer.format() != pixels.format()) {
        buffer = QImage(size, pixels.format());
        if (buffer.isNull()) {
            return;
        }
    }
    const double fx = source.width() / (visible.width() * ratio);
    const double fy = source.height() / (visible.height() * ratio);
    columns.resize(std::size_t(size.width()));
    for (int x = 0; x < size.width(); ++x) {
        columns[std::size_t(x)] =
            std::clamp(int(source.x() + (x + 0.5) * fx), 0, pixels.width() - 1);
    }
    const qsizetype rowBytes = qsizetype(size.width()) * 4;
    int previous = -1;
    for (int y = 0; y < size.height(); ++y) {
        const int sy = std::clamp(int(source.y() + (y + 0.5) * fy), 0, pixels.height() - 1);
        auto* out = reinterpret_cast<quint32*>(buffer.scanLine(y));
        if (sy == previous) {
            std::memcpy(out, buffer.constScanLine(y - 1), size_t(rowBytes));
            continue;
        }
        const auto* in = reinterpret_cast<const quint32*>(pixels.constScanLine(sy));
        for (int x = 0; x < size.width(); ++x) {
            out[x] = in[columns[std::size_t(x)]];
        }
        previous = sy;
    }
    buffer.setDevicePixelRatio(ratio);
    painter.drawImage(visible.topLeft(), buffer);
}

bool directFormat(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

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
        if (scale > 1.0 && directFormat(picture.pixels().format()) &&
            painter.transform().type() <= QTransform::TxTranslate) {
            drawEnlarged(painter, picture.pixels(), source, visible, ratio);
        } else {
            painter.drawImage(visible, picture.pixels(), source);
        }
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
