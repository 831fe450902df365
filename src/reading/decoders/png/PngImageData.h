// SPDX-License-Identifier: MIT
#pragma once

// A PNG's image data made ready-to-draw pixels, written straight into the picture's buffer.
//
// The usual picture (not interlaced, at most 8 bits a sample, or 16-bit grey) is inflated at
// once with libdeflate into the end of the picture's own buffer: its filtered rows take no more
// room than the finished ones, so each finished row is written over filtered rows that are
// already done with, and no second full-size buffer is made. The filters are undone on this
// thread into a small ring of rows that stays in the cache, while a second thread turns those
// rows into pixels. Interlaced and deeper pictures, and data libdeflate refuses, are inflated a
// row at a time with zlib.

#include "PngChunks.h"
#include "reading/decoders/FreshPages.h"
#include "reading/decoders/PictureDecoder.h"

#include <QImage>

namespace platform::decoders::png {

// The picture's buffer, made before the image data is read: the fast way, the filtered rows go
// at its end, and the room before them can hold the compressed data.
struct Canvas {
    QImage image; // Format_RGB32, or Format_ARGB32 (not premultiplied) when it has alpha
    qsizetype filteredAt = -1; // -1: read a row at a time
    uchar* room = nullptr;
    qsizetype roomSize = 0;
};

// The size has been checked against the memory bound; the buffer is made where the context
// says whenever it is exactly the finished picture's. Throws DecodeFailure.
Canvas makeCanvas(const PngFile& file, const DecodeContext& context);
QImage decodeImageData(const PngFile& file, Canvas canvas);
// The buffer's pages made on another thread in the order the reading fills them (the compressed
// data of at most `dataBytes` into the room, then the inflated rows). Keep it until the image
// data is decoded.
PagesAhead pagesAhead(const Canvas& canvas, qint64 dataBytes);

// The same with zlib alone, a row at a time: what the benchmarks weigh the fast way against.
QImage decodeImageDataWithZlib(const PngFile& file);
// The same into a picture of the header's size that the caller made (an animation's frame, in
// memory of its choosing), which is returned: no other copy of it may be held meanwhile.
QImage decodeImageDataInto(const PngFile& file, QImage image);

} // namespace platform::decoders::png
