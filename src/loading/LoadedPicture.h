// SPDX-License-Identifier: MIT
#pragma once

// What start-up and the open command do once a new picture shows at its natural size in Image1.

#include "app/KelmoModel.h"
#include "platform/ErrorRecord.h"

#include <functional>

#include <optional>

namespace loading {

enum class MinimumHeight { NotApplied, KeepPanoramicVisible };

// Fits the window to the view, turns stretch on, records the natural size, shows the panoramic
// copy and records its ratios. Every statement is a step of its own under the caller's error
// record. With KeepPanoramicVisible the window is made at least tall enough to show the whole
// panoramic copy before the ratios are recorded.
void showLoadedPicture(app::KelmoModel& model, platform::ErrorRecord& errors,
                       MinimumHeight minimumHeight);

// Reads the picture for start-up or the open command, through `read`, as a step under the
// caller's record; false when the person cancelled the read in its progress window, which, like
// a cancelled dialog, changes nothing and shows no message.
bool readPictureStep(platform::ErrorRecord& errors, const std::function<platform::Picture()>& read,
                     std::optional<platform::Picture>& picture);

// a / b for two sizes, raising the division-by-zero error for b = 0.
double ratio(float a, float b);

} // namespace loading
