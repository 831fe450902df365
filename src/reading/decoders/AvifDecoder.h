// SPDX-License-Identifier: MIT
#pragma once

// AVIF through libavif: the primary image (the first frame of a sequence), its rotation and
// mirror boxes as an orientation, and its ICC profile or colour code points; and the frames of an
// image sequence.

#include "PictureDecoder.h"

namespace platform::decoders {

class AvifDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
    // An image sequence's frames.
    std::unique_ptr<FrameReader> openFrames(QFile& file,
                                            const DecodeContext& context) const override;
};

// The EXIF orientation that a HEIF rotation (quarter turns anticlockwise) followed by a mirror
// (mode 0: top and bottom exchanged, 1: left and right; -1: none) amounts to.
Orientation orientationOfBoxes(int quarterTurnsAnticlockwise, int mirrorMode);

} // namespace platform::decoders
