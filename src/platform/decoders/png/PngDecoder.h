// SPDX-License-Identifier: MIT
#pragma once

// PNG, read by our own code: every colour type and bit depth, interlaced or not, with its
// transparency, its colour chunks and its EXIF orientation; the first frame of an animation
// (the image data every reader shows). The pixels are the ones Qt's reader gives.

#include "platform/decoders/PictureDecoder.h"

namespace platform::decoders {

class PngDecoder : public PictureDecoder {
  public:
    QByteArray format() const override { return "png"; }
    bool recognises(const QByteArray& head) const override {
        return head.startsWith("\x89PNG\r\n\x1a\n");
    }
    Decoded decode(QFile& file, const DecodeContext& context) const override;
};

} // namespace platform::decoders
