// SPDX-License-Identifier: MIT
#pragma once

// The finished picture's pixels in a memory file: the reader makes its picture buffers there and
// hands over the one that holds the finished picture, sealed so that it can no longer change or
// shrink; the viewer checks the sizes against the file and maps it read-only.

#include "platform/decoders/PictureDecoder.h"

#include <vector>

namespace platform::sandbox {

struct PixelLayout {
    int width = 0;
    int height = 0;
    qint64 bytesPerLine = 0;
    QImage::Format format = QImage::Format_Invalid;
};

// In the reader.
class SharedPixels : public decoders::PixelMemory {
  public:
    QImage make(int width, int height, QImage::Format format) const override;
    // The sealed memory file holding the picture, or -1 when memory ran out. The picture's own
    // buffer is handed over when it is one of ours (it is released first: a file with a writable
    // mapping cannot be sealed); any other picture is copied into a new one.
    int handOver(QImage& picture, PixelLayout& layout);

  private:
    struct Buffer {
        int fd;
        const uchar* bits;
        qint64 size;
    };
    mutable std::vector<Buffer> buffers_;
};

// In the viewer: the picture in the memory file, or a null picture when the layout does not fit
// the file, the file is not sealed, or the format is not one a reader gives. Takes the descriptor.
QImage mapPixels(int fd, const PixelLayout& layout, qint64 maxBytes);

} // namespace platform::sandbox
