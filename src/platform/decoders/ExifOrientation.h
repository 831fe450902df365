// SPDX-License-Identifier: MIT
#pragma once

// The EXIF Orientation tag, found in the metadata blocks of the containers that carry it.

#include "PictureDecoder.h"

#include <QByteArrayView>

namespace platform::decoders {

// The orientation in an EXIF block: a TIFF header and its first directory, with or without the
// "Exif\0\0" prefix of JPEG's APP1 segment. Upright when there is none or it is damaged.
Orientation exifOrientation(QByteArrayView exif);

// The orientation in a whole PNG (eXIf chunk) or WebP (EXIF chunk) file; Upright for other
// formats and for files without one.
Orientation orientationInContainer(QByteArrayView file, const QByteArray& format);

} // namespace platform::decoders
