// SPDX-License-Identifier: MIT
#pragma once

// The view state shared by the window's handlers. Positions are twips of the source picture at its
// natural size; the magnification from source twips to view twips is FactorVentana × FactorZoomX
// across and FactorZoomY × FactorVentana down.

#include "platform/Numeric.h"

#include <cstdint>

namespace app {

struct ViewState {
    // Natural size of the source picture in twips, as Image1 took it when the picture loaded. Held
    // in 32 bits: at 15 twips per pixel 16 bits would overflow at 2185 pixels.
    std::int32_t AltoOriginal = 0;
    std::int32_t AnchoOriginal = 0;
    // Outer size of a fitted window minus the size of Image1.
    platform::Variant MargenAncho;
    std::int16_t MargenAlto = 0;
    // Top-left corner of the region shown in Image1.
    platform::Variant OrigenX;
    platform::Variant OrigenY;
    platform::Variant FactorZoomX;
    double FactorZoomY = 0.0;
    // Factor of the enlarge and reduce commands, both axes.
    double FactorVentana = 0.0;
    // Panoramic twips per source twip.
    double RelPanoramicaX = 0.0;
    double RelPanoramicaY = 0.0;
    // Pointer over the panoramic copy at the last press or drag step, whole twips.
    std::int32_t ArrastreX = 0;
    std::int32_t ArrastreY = 0;

    platform::Variant magnificationX() const {
        return platform::Variant(FactorVentana) * FactorZoomX;
    }
    double magnificationY() const { return FactorZoomY * FactorVentana; }

    // Back to the unzoomed, unscaled view at the picture's top-left corner.
    void resetZoom() {
        FactorZoomX = platform::Variant::integer(1);
        FactorZoomY = 1.0;
        FactorVentana = 1.0;
        OrigenX = platform::Variant::integer(0);
        OrigenY = platform::Variant::integer(0);
    }
};

} // namespace app
