// SPDX-License-Identifier: MIT
#include "Twips.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Controls may grow without bound; what reaches the toolkit stays well inside its integers.
int clampedPixels(double pixels) {
    constexpr double limit = 1 << 28;
    return static_cast<int>(std::floor(std::clamp(pixels, -limit, limit) + 0.5));
}

} // namespace

int CoordinateMapper::toPixelsX(double twips) const {
    return clampedPixels(twips / metrics_.twipsPerPixelX());
}

int CoordinateMapper::toPixelsY(double twips) const {
    return clampedPixels(twips / metrics_.twipsPerPixelY());
}

QRect CoordinateMapper::toPixels(const TwipsRect& rect) const {
    const int left = toPixelsX(rect.left);
    const int top = toPixelsY(rect.top);
    const int right = toPixelsX(static_cast<double>(rect.left) + rect.width);
    const int bottom = toPixelsY(static_cast<double>(rect.top) + rect.height);
    return QRect(left, top, right - left, bottom - top);
}

QPointF CoordinateMapper::toTwipsRelative(QPointF clientPixels, Twips originLeft,
                                          Twips originTop) const {
    const double x = clientPixels.x() * metrics_.twipsPerPixelX() - originLeft;
    const double y = clientPixels.y() * metrics_.twipsPerPixelY() - originTop;
    return QPointF(static_cast<float>(x), static_cast<float>(y));
}

} // namespace platform
