// SPDX-License-Identifier: MIT
#pragma once

// JPEG XL through libjxl: the first frame, its orientation, and the colour profile of the decoded
// pixels; and an animation's frames.

#include "PictureDecoder.h"

namespace platform::decoders {

class JxlDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
    // An animation's frames, composed by libjxl.
    std::unique_ptr<FrameReader> openFrames(QFile& file,
                                            const DecodeContext& context) const override;
};

} // namespace platform::decoders
