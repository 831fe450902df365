// SPDX-License-Identifier: MIT
// The orientation of HEIF's rotation and mirror boxes, whichever library reads them.
#include "AvifDecoder.h"

namespace platform::decoders {

Orientation orientationOfBoxes(int quarterTurnsAnticlockwise, int mirrorMode) {
    // An orientation as quarter turns clockwise, then a left-right mirror or not.
    static constexpr Orientation table[4][2] = {
        {Orientation::Upright, Orientation::MirrorHorizontal},
        {Orientation::Rotate90, Orientation::Transpose},
        {Orientation::Rotate180, Orientation::MirrorVertical},
        {Orientation::Rotate270, Orientation::Transverse},
    };
    int turns = (4 - (quarterTurnsAnticlockwise & 3)) & 3;
    int mirror = 0;
    if (mirrorMode == 1) {
        mirror = 1;
    } else if (mirrorMode == 0) { // top-bottom: half a turn more, then left-right
        turns = (turns + 2) & 3;
        mirror = 1;
    }
    return table[turns][mirror];
}

} // namespace platform::decoders
