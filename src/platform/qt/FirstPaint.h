// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class QWidget;

namespace platform::qt {

// Runs work once, as soon as the first frame that widget paints has gone to the screen: for what
// start-up must do but the first frame does not need. A timer of no delay is not enough, as it
// fires before the window system has asked for that frame.
void afterFirstPaint(QWidget* widget, std::function<void()> work);

} // namespace platform::qt
