// SPDX-License-Identifier: MIT
#pragma once

// WebP through libwebp directly: lossy and lossless, with alpha, decoded straight into the
// picture's buffer with libwebp's threaded filtering; the orientation and ICC profile from the
// container; the first frame of an animation, placed on its canvas; and an animation's frames.

#include "reading/decoders/PictureDecoder.h"

namespace platform::decoders {

class WebpDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
    // The canvases of an animation, as libwebp's animation decoder composes them.
    std::unique_ptr<FrameReader> openFrames(QFile& file,
                                            const DecodeContext& context) const override;
};

} // namespace platform::decoders
