// SPDX-License-Identifier: MIT
#pragma once

// The pixels of a decoded picture converted to sRGB, in place, from their ICC profile, their
// colour code points, or CMYK. Untagged and sRGB pictures are left as they are, at no cost.

#include "PictureDecoder.h"

namespace platform::decoders {

// Whether converting needs Qt's image machinery (its colour transforms run on Qt's thread pool,
// which wants the application object); false when nothing is to be done or Little CMS does it.
bool colourNeedsToolkit(const Decoded& decoded);
void convertToSrgb(Decoded& decoded);

// The two ways the conversion is made, for the tests and benchmarks that compare them: Qt's
// transform for RGB matrix-and-curves profiles (the common ones, and much the faster), Little
// CMS for the rest (lookup-table profiles, CMYK). Each returns false where it cannot convert.
bool convertWithQt(Decoded& decoded);
bool convertWithLittleCms(Decoded& decoded);

} // namespace platform::decoders
