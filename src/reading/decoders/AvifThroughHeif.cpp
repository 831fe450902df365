// SPDX-License-Identifier: MIT
// AVIF where libavif is not built: libheif, built with dav1d, reads it as it reads HEIC, and
// applies the rotation and mirror boxes itself. An image sequence shows its first picture.
#include "AvifDecoder.h"
#include "FrameReader.h"
#include "HeifDecoder.h"

namespace platform::decoders {

Decoded AvifDecoder::decode(QFile& file, const DecodeContext& context) const {
    return HeifDecoder().decode(file, context);
}

std::unique_ptr<FrameReader> AvifDecoder::openFrames(QFile&, const DecodeContext&) const {
    return nullptr;
}

} // namespace platform::decoders
