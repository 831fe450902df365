// SPDX-License-Identifier: MIT
#pragma once

// Turning stored pixels upright for any of the eight orientations: every stored pixel is written
// once, straight to its place in the upright picture. A reader that produces rows in order can
// hand them over a band at a time, so that the turning of one band overlaps the reading of the
// next; every other picture is turned whole, its two halves at once.

#include "PictureDecoder.h"

namespace platform::decoders {

class UprightWriter {
  public:
    // The upright picture of a stored picture of that size and 32-bit format, made where the
    // context says; null when memory ran out. `finished`: no later step changes the pixels
    // written, so that upright rows may be put in place by the context's pixel memory.
    UprightWriter(QSize stored, Orientation orientation, QImage::Format format,
                  const DecodeContext& context, bool finished = false);

    bool isNull() const { return upright_.isNull(); }
    // Writes `count` stored rows from `firstRow` on. Bands that do not overlap may be written
    // from two threads at once.
    void writeRows(const uchar* rows, qsizetype bytesPerLine, int firstRow, int count);
    QImage take() { return std::move(upright_); }

  private:
    QSize stored_;
    Orientation orientation_;
    QImage upright_;
    uchar* bits_ = nullptr;
    qsizetype bytesPerLine_ = 0;
    const PixelMemory* putter_ = nullptr; // puts the rows, when not null
};

// The whole picture turned; the picture itself when it is upright already. Null when memory ran
// out.
QImage turnUpright(const QImage& image, Orientation orientation, const DecodeContext& context);

// Whether the orientation swaps width and height.
bool swapsSides(Orientation orientation);

} // namespace platform::decoders
