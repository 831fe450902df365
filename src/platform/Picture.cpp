// SPDX-License-Identifier: MIT
#include "Picture.h"

#include "PlatformError.h"

namespace platform {

Picture::Picture(QImage image)
    : pixels_(std::move(image)), area_(pixels_.rect()),
      levels_(std::make_shared<ReducedLevels>(pixels_)) {}

Picture Picture::cut(qint32 x, qint32 y, qint32 width, qint32 height) const {
    const qint64 left = std::max<qint64>(x, 0);
    const qint64 top = std::max<qint64>(y, 0);
    const qint64 right = std::min<qint64>(qint64(x) + width, area_.width());
    const qint64 bottom = std::min<qint64>(qint64(y) + height, area_.height());
    if (isNull() || right <= left || bottom <= top) {
        throw PlatformError(
            ErrorNumber::InvalidPicture,
            QStringLiteral("El área pedida (%1, %2, %3 × %4 píxeles) queda fuera de la imagen de "
                           "%5 × %6 píxeles o está vacía.")
                .arg(x)
                .arg(y)
                .arg(width)
                .arg(height)
                .arg(area_.width())
                .arg(area_.height()));
    }
    const QRect inside(area_.x() + int(left), area_.y() + int(top), int(right - left),
                       int(bottom - top));
    return Picture(pixels_, inside, levels_);
}

QImage Picture::toImage() const {
    if (isNull()) {
        return {};
    }
    return area_ == pixels_.rect() ? pixels_ : pixels_.copy(area_);
}

} // namespace platform
