// SPDX-License-Identifier: MIT
#include "PanoramicNavigator.h"

namespace view {

using platform::CLng;
using platform::toSingle;

void PanoramicNavigator::ImagenPanoramica_MouseDown(std::int16_t button, std::int16_t, float x,
                                                    float y) {
    if (button == 1) {
        model_.state.ArrastreX = CLng(x);
        model_.state.ArrastreY = CLng(y);
    }
}

void PanoramicNavigator::ImagenPanoramica_MouseMove(std::int16_t button, std::int16_t, float x,
                                                    float y) {
    app::KelmoModel& m = model_;
    if (button != 1 || !m.CuadroEnfoque.Visible()) {
        return;
    }
    // After a start-up whose picture failed to load the panoramic copy is empty and its ratios
    // are 0: there is no region to find, and each move would only report a division by zero.
    if (m.state.RelPanoramicaX == 0.0 || m.state.RelPanoramicaY == 0.0) {
        return;
    }
    const float dx = toSingle(double(x) - m.state.ArrastreX);
    const float dy = toSingle(double(y) - m.state.ArrastreY);
    m.CuadroEnfoque.setLeft(toSingle(double(m.CuadroEnfoque.Left()) + dx));
    m.CuadroEnfoque.setTop(toSingle(double(m.CuadroEnfoque.Top()) + dy));
    // The anchor follows the pointer, not the frame, so moving back after hitting a limit moves
    // the frame back at once.
    m.state.ArrastreX = CLng(double(m.state.ArrastreX) + dx);
    m.state.ArrastreY = CLng(double(m.state.ArrastreY) + dy);
    keepFrameInsideCopy();
    showRegionUnderFrame();
}

void PanoramicNavigator::keepFrameInsideCopy() {
    platform::Shape& f = model_.CuadroEnfoque;
    const platform::PictureBox& p = model_.ImagenPanoramica;
    // Left and top edges may lie on the copy's edges; right and bottom edges stay 40 twips
    // inside. Each test reads the values back, so a later test sees an earlier correction.
    if (f.Left() < p.Left()) {
        f.setLeft(p.Left());
    }
    if (f.Top() < p.Top()) {
        f.setTop(p.Top());
    }
    if (toSingle(double(f.Width()) + f.Left()) > toSingle(double(p.Width()) + p.Left() - 40)) {
        f.setLeft(toSingle(double(p.Width()) + p.Left() - f.Width() - 40));
    }
    if (toSingle(double(f.Height()) + f.Top()) > toSingle(double(p.Height()) + p.Top() - 40)) {
        f.setTop(toSingle(double(p.Height()) + p.Top() - f.Height() - 40));
    }
}

void PanoramicNavigator::showRegionUnderFrame() {
    app::KelmoModel& m = model_;
    const platform::Shape& f = m.CuadroEnfoque;
    const platform::PictureBox& p = m.ImagenPanoramica;
    const double relX = m.state.RelPanoramicaX;
    const double relY = m.state.RelPanoramicaY;
    const double perPixelX = m.services.screen.twipsPerPixelX();
    const double perPixelY = m.services.screen.twipsPerPixelY();
    m.state.OrigenY =
        platform::Variant(platform::checkedDouble((double(f.Top()) - p.Top()) / relY));
    m.state.OrigenX =
        platform::Variant(platform::checkedDouble((double(f.Left()) - p.Left()) / relX));
    m.PictureClip.setClipX(CLng(m.state.OrigenX.toDouble() / perPixelX));
    m.PictureClip.setClipY(CLng(m.state.OrigenY.toDouble() / perPixelY));
    m.PictureClip.setClipWidth(CLng(f.Width() / (perPixelX * relX)));
    m.PictureClip.setClipHeight(CLng(f.Height() / (perPixelY * relY)));
    m.Image1.setPicture(m.PictureClip.Clip());
}

} // namespace view
