// SPDX-License-Identifier: MIT
#pragma once

// The frames of an animated PNG (acTL, fcTL and fdAT chunks), read from the file a frame at a
// time and composed with each frame's dispose and blend kind.

#include "reading/decoders/FrameReader.h"

namespace platform::decoders::png {

// Null for a PNG that is no animation of two frames or more. Throws DecodeFailure.
std::unique_ptr<FrameReader> openApngFrames(QFile& file, const DecodeContext& context);

} // namespace platform::decoders::png
