// SPDX-License-Identifier: MIT
#pragma once

// HEIF and HEIC through libheif: the primary image, already turned by its rotation and mirror
// boxes (libheif applies them), and its ICC profile or colour code points.

#include "PictureDecoder.h"

namespace platform::decoders {

class HeifDecoder : public PictureDecoder {
  public:
    Decoded decode(QFile& file, const DecodeContext& context) const override;
};

} // namespace platform::decoders
