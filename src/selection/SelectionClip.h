// SPDX-License-Identifier: MIT
#pragma once

// The selection mapped to the source picture. The zoom, the copy and the save all cut the same
// rectangle: the selection's offset from Image1's top-left corner, divided by the view's
// magnification and added to the origin, gives source twips; dividing by twips per pixel and
// rounding half to even gives source pixels.

#include "app/KelmoModel.h"

#include <cstdint>

namespace selection {

// Top-left corner of the selection in twips of the source picture.
struct SourcePoint {
    platform::Variant x;
    platform::Variant y;
};

struct ClipRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

SourcePoint selectionOrigin(const app::KelmoModel& model);

// Sets the clipper's ClipX, ClipY, ClipWidth and ClipHeight, in that order, for the selection
// whose source corner is origin, and returns them. Raises the overflow error for a value outside
// the 32-bit range.
ClipRect setSelectionClip(app::KelmoModel& model, const SourcePoint& origin);

// The same rectangle, computed without setting the clipper: what a copy would cut now.
ClipRect selectionClip(const app::KelmoModel& model);

// The whole computation for the commands that do not keep the origin: copy and save.
platform::Picture cutSelection(app::KelmoModel& model);

// Shows the no-selection message and returns false when no selection exists.
bool requireSelection(app::KelmoModel& model);

} // namespace selection
