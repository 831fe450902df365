// SPDX-License-Identifier: MIT
#include "SharedPixels.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::sandbox {

namespace {

constexpr int handOverSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

struct Mapping {
    void* address;
    std::size_t size;
    int fd; // closed with the mapping, or -1
};

// A buffer given up frees its memory at once (a reader's Qt reader may replace the picture it
// was given with one of its own).
void unmap(void* info) {
    auto* mapping = static_cast<Mapping*>(info);
    munmap(mapping->address, mapping->size);
    if (mapping->fd >= 0) {
        close(mapping->fd);
    }
    delete mapping;
}

// The layout's bytes, or -1 when it is not a picture a reader gives.
qint64 bytesOf(const PixelLayout& layout) {
    const bool format = layout.format == QImage::Format_RGB32 ||
                        layout.format == QImage::Format_ARGB32_Premultiplied;
    if (!format || layout.width <= 0 || layout.height <= 0 ||
        layout.bytesPerLine < qint64(layout.width) * 4 || layout.bytesPerLine % 4 != 0 ||
        layout.bytesPerLine > (qint64(1) << 40) / layout.height) {
        return -1;
    }
    return layout.bytesPerLine * layout.height;
}

QImage mapped(int fd, qint64 size, int protection, int width, int height, qint64 bytesPerLine,
              QImage::Format format, int closedWithIt = -1) {
    // Not populated: the viewer touches only the pages it draws (a picture larger than the
    // screen is drawn a screen at a time), and the reader makes its pages as it writes them.
    void* address = mmap(nullptr, std::size_t(size), protection, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) {
        return {};
    }
    auto* mapping = new Mapping{address, std::size_t(size), closedWithIt};
    if (protection & PROT_WRITE) {
        return QImage(static_cast<uchar*>(address), width, height, qsizetype(bytesPerLine), format,
                      unmap, mapping);
    }
    return QImage(static_cast<const uchar*>(address), width, height, qsizetype(bytesPerLine),
                  format, unmap, mapping);
}

} // namespace

QImage SharedPixels::make(int width, int height, QImage::Format format) const {
    // Any 32-bit format: a reader may make RGBA rows and turn them into the finished format in
    // place.
    const qint64 bytesPerLine = qint64(width) * 4;
    if (QImage::toPixelFormat(format).bitsPerPixel() != 32 || width <= 0 || height <= 0 ||
        bytesPerLine > (qint64(1) << 40) / height) {
        return QImage(width, height, format);
    }
    const qint64 size = bytesPerLine * height;
    const int fd = memfd_create("kelmo-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return {};
    }
    QImage image =
        mapped(fd, size, PROT_READ | PROT_WRITE, width, height, bytesPerLine, format, fd);
    if (image.isNull()) {
        close(fd);
        return {};
    }
    buffers_.push_back({fd, image.constBits(), size});
    return image;
}

int SharedPixels::handOver(QImage& picture, PixelLayout& layout) {
    layout = {picture.width(), picture.height(), picture.bytesPerLine(), picture.format()};
    const qint64 size = bytesOf(layout);
    if (size < 0) {
        return -1;
    }
    // The newest buffer at that address is the picture's (an older one there was given up).
    const auto own = std::find_if(buffers_.rbegin(), buffers_.rend(), [&](const Buffer& buffer) {
        return buffer.bits == picture.constBits() && buffer.size >= size;
    });
    if (own == buffers_.rend()) {
        QImage copy = make(layout.width, layout.height, layout.format);
        if (copy.isNull()) {
            return -1;
        }
        layout.bytesPerLine = copy.bytesPerLine();
        for (int y = 0; y < layout.height; ++y) {
            std::memcpy(copy.scanLine(y), picture.constScanLine(y), std::size_t(layout.width) * 4);
        }
        picture = std::move(copy);
        return handOver(picture, layout);
    }
    const int fd = dup(own->fd); // the picture's own descriptor goes with its mapping
    picture = QImage();          // unmaps it: only a file without writable mappings can be sealed
    if (fd < 0 || fcntl(fd, F_ADD_SEALS, handOverSeals | F_SEAL_SEAL) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

QImage mapPixels(int fd, const PixelLayout& layout, qint64 maxBytes) {
    const qint64 size = bytesOf(layout);
    struct stat status {};
    const bool fits = size > 0 && size <= maxBytes + qint64(layout.bytesPerLine) &&
                      fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= size;
    const int seals = fcntl(fd, F_GET_SEALS);
    QImage image;
    if (fits && seals >= 0 && (seals & handOverSeals) == handOverSeals) {
        image = mapped(fd, size, PROT_READ, layout.width, layout.height, layout.bytesPerLine,
                       layout.format);
    }
    close(fd);
    return image;
}

} // namespace platform::sandbox
