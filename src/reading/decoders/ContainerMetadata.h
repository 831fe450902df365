// SPDX-License-Identifier: MIT
#pragma once

// The EXIF Orientation tag, found in the metadata blocks of the containers that carry it, and
// the other metadata chunk Qt's readers pass over: PNG's colour code points.

#include "PictureDecoder.h"

#include <QByteArrayView>
#include <optional>

namespace platform::decoders {

// The orientation in an EXIF block: a TIFF header and its first directory, with or without the
// "Exif\0\0" prefix of JPEG's APP1 segment. Upright when there is none or it is damaged.
Orientation exifOrientation(QByteArrayView exif);

// The orientation in a whole PNG (eXIf chunk) or WebP (EXIF chunk) file; Upright for other
// formats and for files without one.
Orientation orientationInContainer(QByteArrayView file, const QByteArray& format);

// The colour code points of a PNG's cICP chunk, which take precedence over its other colour
// chunks; nothing for other formats and for PNGs without one.
std::optional<CodePoints> pngCodePoints(QByteArrayView file);

} // namespace platform::decoders
