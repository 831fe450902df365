// SPDX-License-Identifier: MIT
#pragma once

// JPEG through libjpeg-turbo, straight into ready-to-draw pixels: grey, YCbCr and RGB pictures
// come out as Format_RGB32 rows without a second pass; CMYK ones are handed on as CMYK, inverted
// or not, for the colour step. A photograph taken sideways is turned band by band while it is
// read (by the one turning routine, Upright.h); the ICC profile comes along.

#include "PictureDecoder.h"

namespace platform::decoders {

class JpegDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
};

} // namespace platform::decoders
