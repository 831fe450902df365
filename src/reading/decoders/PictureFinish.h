// SPDX-License-Identifier: MIT
#pragma once

// The one step after every reader: the pixels are converted to sRGB (ColourToSrgb), turned
// upright (Upright), and put in the format the raster engine draws fastest. An untagged or sRGB
// picture that is already upright passes through untouched.

#include "PictureDecoder.h"

namespace platform::decoders {

// Format_RGB32, or Format_ARGB32_Premultiplied where the picture has alpha; null when memory
// ran out. Throws NeedsApplication where the colour conversion needs Qt before the application
// object exists.
QImage finishPicture(Decoded decoded, const DecodeContext& context);

} // namespace platform::decoders
