// SPDX-License-Identifier: MIT
#pragma once

// Window twips (1/1440 inch) are the unit of every position and size on the form. Screen pixels
// appear only where the picture is drawn and where mouse positions arrive; CoordinateMapper is
// the one place that converts between the two.

#include <QPointF>
#include <QRect>

namespace platform {

using Twips = float;

// Twips per screen pixel on each axis: 1440 divided by the screen's logical dots per inch.
class ScreenMetrics {
  public:
    virtual ~ScreenMetrics() = default;
    virtual float twipsPerPixelX() const = 0;
    virtual float twipsPerPixelY() const = 0;
};

class FixedScreenMetrics : public ScreenMetrics {
  public:
    explicit FixedScreenMetrics(float perPixelX = 15.0f, float perPixelY = 15.0f)
        : x_(perPixelX), y_(perPixelY) {}
    static FixedScreenMetrics fromLogicalDpi(double dpiX, double dpiY) {
        return FixedScreenMetrics(static_cast<float>(1440.0 / dpiX),
                                  static_cast<float>(1440.0 / dpiY));
    }
    float twipsPerPixelX() const override { return x_; }
    float twipsPerPixelY() const override { return y_; }

  private:
    float x_;
    float y_;
};

struct TwipsRect {
    Twips left = 0;
    Twips top = 0;
    Twips width = 0;
    Twips height = 0;
};

// Converts window twips to device-independent pixels of the window's client area and back.
class CoordinateMapper {
  public:
    explicit CoordinateMapper(const ScreenMetrics& metrics) : metrics_(metrics) {}

    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    // Edges are rounded, not sizes, so that adjacent controls never overlap or leave gaps.
    QRect toPixels(const TwipsRect& rect) const;
    // A point in client pixels, as twips relative to the top-left corner of a control.
    QPointF toTwipsRelative(QPointF clientPixels, Twips originLeft, Twips originTop) const;

  private:
    const ScreenMetrics& metrics_;
};

} // namespace platform
