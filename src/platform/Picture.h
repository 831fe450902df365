// SPDX-License-Identifier: MIT
#pragma once

// A picture as the form's controls and services see it: pixels shared with the picture it was
// cut from, and the rectangle of those pixels that belongs to it. Cutting costs the same whatever
// the size of the cut: nothing is copied until a service needs pixels of its own.

#include "ReducedLevels.h"

#include <QImage>
#include <QRect>
#include <memory>

namespace platform {

class Picture {
  public:
    Picture() = default;
    explicit Picture(QImage image);

    bool isNull() const { return pixels_.isNull() || area_.isEmpty(); }
    // The natural size in pixels.
    QSize size() const { return area_.size(); }
    int width() const { return area_.width(); }
    int height() const { return area_.height(); }

    // The shared pixels and the rectangle of them that this picture shows; a painter draws it
    // with drawImage(target, pixels(), area()).
    const QImage& pixels() const { return pixels_; }
    QRect area() const { return area_; }

    // The part of this picture inside the rectangle (in this picture's pixels), sharing its
    // pixels. A rectangle that leaves the picture is trimmed to its part inside; an empty result
    // raises the invalid-picture error. The values may lie anywhere in the 32-bit range, which
    // QRect cannot hold without overflowing its right edge.
    Picture cut(qint32 x, qint32 y, qint32 width, qint32 height) const;

    // A detached copy of the pixels, for services that hand the picture to the outside.
    QImage toImage() const;

    bool sharesPixelsWith(const Picture& other) const {
        return pixels_.constBits() == other.pixels_.constBits();
    }

    // The reduced copies of the whole source, shared with every cut of it.
    ReducedLevels& levels() const { return *levels_; }

  private:
    Picture(QImage pixels, QRect area, std::shared_ptr<ReducedLevels> levels)
        : pixels_(std::move(pixels)), area_(area), levels_(std::move(levels)) {}

    QImage pixels_;
    QRect area_;
    std::shared_ptr<ReducedLevels> levels_;
};

} // namespace platform
