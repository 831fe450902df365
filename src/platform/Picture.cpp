#include "Picture.h"

#include "PlatformError.h"

namespace platform {

Picture::Picture(QImage image) : pixels_(std::move(image)), area_(pixels_.rect()) {}

Picture Picture::cut(const QRect& rect) const {
    // Work in 64 bits: the requested rectangle comes from arithmetic on user input and may lie
    // anywhere in the 32-bit range.
    const qint64 left = std::max<qint64>(rect.x(), 0);
    const qint64 top = std::max<qint64>(rect.y(), 0);
    const qint64 right = std::min<qint64>(qint64(rect.x()) + rect.width(), area_.width());
    const qint64 bottom = std::min<qint64>(qint64(rect.y()) + rect.height(), area_.height());
    if (isNull() || right <= left || bottom <= top) {
        throw PlatformError(
            ErrorNumber::InvalidPicture,
            QStringLiteral("El área pedida (%1, %2, %3 × %4 píxeles) queda fuera de la imagen de "
                           "%5 × %6 píxeles o está vacía.")
                .arg(rect.x())
                .arg(rect.y())
                .arg(rect.width())
                .arg(rect.height())
                .arg(area_.width())
                .arg(area_.height()));
    }
    const QRect inside(area_.x() + int(left), area_.y() + int(top), int(right - left),
                       int(bottom - top));
    return Picture(pixels_, inside);
}

QImage Picture::toImage() const {
    if (isNull()) {
        return {};
    }
    return area_ == pixels_.rect() ? pixels_ : pixels_.copy(area_);
}

} // namespace platform
