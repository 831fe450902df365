// SPDX-License-Identifier: MIT
#pragma once

// GIF's animations through giflib, read a frame at a time as the file goes (never every frame at
// once) and composed on the canvas as the browsers compose them. A still GIF stays with Qt's
// reader; this module's decode() gives the first frame as the frames are composed.

#include "reading/decoders/PictureDecoder.h"

namespace platform::decoders {

class GifDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
    std::unique_ptr<FrameReader> openFrames(QFile& file,
                                            const DecodeContext& context) const override;
};

} // namespace platform::decoders
