// SPDX-License-Identifier: MIT
#pragma once

#include "Picture.h"

#include <QRectF>
#include <functional>

class QPainter;

namespace platform {

// Draws the picture scaled into target, only the part of it inside clip, both in the painter's
// device-independent pixels. The cost follows the part drawn, not the picture: only the source
// pixels under it are read, and a picture reduced by more than half is drawn, smoothly, from the
// reduced level closest above the size on screen. Enlarged pictures keep sharp pixels.
//
// Without whenSharper, a missing reduced level is built before drawing. With it, drawing does not
// wait: it uses the deepest level there is, builds the rest in the background and calls
// whenSharper (on the worker thread) once they are there, so that the caller can draw again.
void drawPicture(QPainter& painter, const Picture& picture, const QRectF& target,
                 const QRectF& clip, const std::function<void()>& whenSharper = {});

// The reduced level to draw from at this scale (device pixels per source pixel): the deepest k
// with scale × 2^k still at most 1.
int levelForScale(double scale);

} // namespace platform
