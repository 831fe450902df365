#pragma once

// The one step after every reader: the pixels are converted to sRGB (from their ICC profile,
// their colour code points, or CMYK), turned upright, and put in the format the raster engine
// draws fastest. An untagged or sRGB picture that is already upright passes through untouched.

#include "PictureDecoder.h"

namespace platform::decoders {

// Format_RGB32, or Format_ARGB32_Premultiplied where the picture has alpha; null when memory
// ran out.
QImage finishPicture(Decoded decoded);

// The parts of that step, for the benchmarks and tests.
void convertToSrgb(Decoded& decoded);
QImage turnUpright(const QImage& image, Orientation orientation);

} // namespace platform::decoders
