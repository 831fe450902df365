// SPDX-License-Identifier: MIT
#include "Upright.h"

#include "FreshPages.h"

#include "TwoHalves.h"

#include <algorithm>

namespace platform::decoders {

bool swapsSides(Orientation orientation) {
    return int(orientation) >= int(Orientation::Transpose);
}

UprightWriter::UprightWriter(QSize stored, Orientation orientation, QImage::Format format,
                             const DecodeContext& context, bool finished)
    : stored_(stored), orientation_(orientation) {
    const QSize size = swapsSides(orientation) ? stored.transposed() : stored;
    if (finished && orientation == Orientation::Upright && context.memory != nullptr) {
        upright_ = context.memory->makeForRows(size.width(), size.height(), format);
        putter_ = context.memory->takesRows(upright_) ? context.memory : nullptr;
    } else {
        upright_ = context.newImage(size.width(), size.height(), format);
    }
    if (!upright_.isNull()) {
        bits_ = putter_ != nullptr ? nullptr : upright_.bits();
        bytesPerLine_ = upright_.bytesPerLine();
    }
}

void UprightWriter::writeRows(const uchar* rows, qsizetype bytesPerLine, int firstRow, int count) {
    const int w = stored_.width();
    const int h = stored_.height();
    const auto out = [this](int x, int y) {
        return reinterpret_cast<quint32*>(bits_ + y * bytesPerLine_) + x;
    };
    const auto in = [&](int y) {
        return reinterpret_cast<const quint32*>(rows + qsizetype(y - firstRow) * bytesPerLine);
    };
    const int end = firstRow + count;
    if (putter_ != nullptr) { // upright: the band as it is, or a row at a time
        const int step = bytesPerLine == bytesPerLine_ ? count : 1;
        for (int y = firstRow; y < end; y += step) {
            putter_->putRows(upright_, y * bytesPerLine_, reinterpret_cast<const uchar*>(in(y)),
                             qint64(std::min(step, end - y)) * bytesPerLine_);
        }
        return;
    }
    if (!swapsSides(orientation_)) {
        // Stored rows stay rows, in the same or the opposite order, forwards or mirrored.
        const bool mirrored =
            orientation_ == Orientation::MirrorHorizontal || orientation_ == Orientation::Rotate180;
        const bool flipped =
            orientation_ == Orientation::Rotate180 || orientation_ == Orientation::MirrorVertical;
        makePagesFor(out(0, flipped ? h - end : firstRow), std::size_t(count) * bytesPerLine_);
        for (int y = firstRow; y < end; ++y) {
            quint32* target = out(0, flipped ? h - 1 - y : y);
            const quint32* source = in(y);
            if (mirrored) {
                std::reverse_copy(source, source + w, target);
            } else {
                std::copy(source, source + w, target);
            }
        }
        return;
    }
    // The first band already touches every upright row.
    if (firstRow == 0) {
        makePagesFor(bits_, std::size_t(upright_.sizeInBytes()));
    }
    // Stored rows become columns: stored column x is upright row x (Transpose, Rotate90) or
    // w - 1 - x (Transverse, Rotate270); stored row y is upright column y (Transpose, Rotate270)
    // or h - 1 - y (Rotate90, Transverse). Column by column, each upright row gets one run.
    const bool rowsReversed =
        orientation_ == Orientation::Transverse || orientation_ == Orientation::Rotate270;
    const bool columnsReversed =
        orientation_ == Orientation::Rotate90 || orientation_ == Orientation::Transverse;
    for (int x = 0; x < w; ++x) {
        const int uprightRow = rowsReversed ? w - 1 - x : x;
        if (columnsReversed) {
            quint32* target = out(h - end, uprightRow); // the run ends at column h - 1 - firstRow
            for (int y = end - 1; y >= firstRow; --y) {
                *target++ = in(y)[x];
            }
        } else {
            quint32* target = out(firstRow, uprightRow);
            for (int y = firstRow; y < end; ++y) {
                *target++ = in(y)[x];
            }
        }
    }
}

QImage turnUpright(const QImage& image, Orientation orientation, const DecodeContext& context) {
    if (orientation == Orientation::Upright) {
        return image;
    }
    UprightWriter writer(image.size(), orientation, image.format(), context);
    if (writer.isNull()) {
        return {};
    }
    // Bands of 64 rows keep the rows being read in the cache while their columns are written.
    const auto bands = [&](int first, int end) {
        for (int y = first; y < end; y += 64) {
            writer.writeRows(image.constScanLine(y), image.bytesPerLine(), y,
                             std::min(64, end - y));
        }
    };
    inTwoHalves(image.height(), 512, 64, bands);
    return writer.take();
}

} // namespace platform::decoders
