// SPDX-License-Identifier: MIT
#pragma once

// What start-up and the open command do once a new picture shows at its natural size in Image1.

#include "app/KelmoModel.h"
#include "platform/ErrorRecord.h"

namespace loading {

enum class MinimumHeight { NotApplied, KeepPanoramicVisible };

// Fits the window to the view, turns stretch on, records the natural size, shows the panoramic
// copy and records its ratios. Every statement is a step of its own under the caller's error
// record. With KeepPanoramicVisible the window is made at least tall enough to show the whole
// panoramic copy before the ratios are recorded.
void showLoadedPicture(app::KelmoModel& model, platform::ErrorRecord& errors,
                       MinimumHeight minimumHeight);

// a / b for two sizes, raising the division-by-zero error for b = 0.
double ratio(float a, float b);

} // namespace loading
