// SPDX-License-Identifier: MIT
#pragma once

// PNG, read by our own code: every colour type and bit depth, interlaced or not, with its
// transparency, its colour chunks and its EXIF orientation; the first frame of an animation
// (the image data every reader shows). The pixels are the ones Qt's reader gives.

#include "reading/decoders/PictureDecoder.h"

namespace platform::decoders {

class PngDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
    // An animated PNG's frames (ApngFrames.h).
    std::unique_ptr<FrameReader> openFrames(QFile& file,
                                            const DecodeContext& context) const override;
};

} // namespace platform::decoders
