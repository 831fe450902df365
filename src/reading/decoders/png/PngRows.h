// SPDX-License-Identifier: MIT
#pragma once

// One row of a PNG's image data: its filter undone, and its samples turned into ready-to-draw
// 32-bit pixels (0xAARRGGBB) with exactly the values Qt's reader gives.

#include "PngChunks.h"

#include <QtGlobal>
#include <array>

namespace platform::decoders::png {

// Undoes the row's filter in place; `prior` is the row above, already undone (zeros for the
// first row of a pass). A `continued` row is the part of a longer one that goes on from the
// bytes just before `row` and `prior`, undone already. Throws DecodeFailure for an unknown
// filter type.
void unfilterRow(int filter, uchar* row, const uchar* prior, qsizetype bytes, int step,
                 bool continued = false);

class RowConverter {
  public:
    explicit RowConverter(const PngFile& file);
    // Whether the pixels have alpha (an alpha channel, or a transparent colour or palette entry).
    bool hasAlpha() const { return alpha_; }
    // Writes `pixels` pixels of an unfiltered row.
    void convert(const uchar* row, quint32* out, int pixels) const;

  private:
    void fromTable(const uchar* row, quint32* out, int pixels) const;
    void fromTruecolour(const uchar* row, quint32* out, int pixels) const;
    void fromDeep(const uchar* row, quint32* out, int pixels) const;

    Header header_;
    Transparency transparency_;
    bool alpha_ = false;
    std::array<quint32, 256> table_{}; // grey levels or palette entries, by sample value
};

// The seven passes of Adam7 interlacing: where each starts and how far apart its pixels are.
struct Pass {
    int x0, y0, dx, dy;
    int columns(int width) const { return (width - x0 + dx - 1) / dx; }
    int rows(int height) const { return (height - y0 + dy - 1) / dy; }
};
inline constexpr std::array<Pass, 7> adam7 = {{{0, 0, 8, 8},
                                               {4, 0, 8, 8},
                                               {0, 4, 4, 8},
                                               {2, 0, 4, 4},
                                               {0, 2, 2, 4},
                                               {1, 0, 2, 2},
                                               {0, 1, 1, 2}}};

} // namespace platform::decoders::png
