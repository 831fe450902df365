// SPDX-License-Identifier: MIT
#include "SharedPixels.h"
#include "LockDown.h"
#include "ReaderChannel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <new>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

namespace platform::sandbox {

namespace {

constexpr int handOverSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;
// From this size on a buffer is made of two files (the size from which readers fill pictures on
// two threads).
constexpr qint64 splitBytes = 8 * 1024 * 1024;

using PartSizes = std::array<qint64, maxPixelFiles>;

struct Mapping {
    void* address;
    std::size_t size;
    PixelFiles files; // the reader's, closed with the mapping
};

// A buffer given up frees its memory at once (a reader's Qt reader may replace the picture it
// was given with one of its own).
void unmap(void* info) {
    auto* mapping = static_cast<Mapping*>(info);
    munmap(mapping->address, mapping->size);
    delete mapping;
}

qint64 pageBytes() {
    return qint64(sysconf(_SC_PAGESIZE));
}

// The layout's bytes, or -1 when it is not a picture a reader gives or it holds more than
// maxBytes, whatever its height.
qint64 bytesOf(const PixelLayout& layout, qint64 maxBytes) {
    const bool format = layout.format == QImage::Format_RGB32 ||
                        layout.format == QImage::Format_ARGB32_Premultiplied;
    if (!format || layout.width <= 0 || layout.height <= 0 ||
        layout.bytesPerLine < qint64(layout.width) * 4 || layout.bytesPerLine % 4 != 0 ||
        layout.bytesPerLine > maxBytes / layout.height) {
        return -1;
    }
    return layout.bytesPerLine * layout.height;
}

// The files mapped one after the other over one reserved range of `total` bytes, or null. Not
// populated: the viewer touches only the pages it draws (a picture larger than the screen is
// drawn a screen at a time), and the reader makes its pages as it writes them.
void* mapParts(const PixelFiles& files, const PartSizes& sizes, qint64 total, int protection) {
    void* range = mmap(nullptr, std::size_t(total), PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range == MAP_FAILED) {
        return nullptr;
    }
    qint64 offset = 0;
    for (int i = 0; i < files.count(); ++i) {
        void* at = static_cast<char*>(range) + offset;
        if (mmap(at, std::size_t(sizes[std::size_t(i)]), protection, MAP_SHARED | MAP_FIXED,
                 files.fd(i), 0) != at) {
            munmap(range, std::size_t(total));
            return nullptr;
        }
        offset += sizes[std::size_t(i)];
    }
    return range;
}

// The part sizes of files the viewer was handed for `total` bytes: every part but the last a
// whole number of pages, the last at least the rest. False when they do not add up or a file is
// not a sealed memory file.
bool partsOf(const PixelFiles& files, qint64 total, PartSizes& sizes) {
    qint64 offset = 0;
    for (int i = 0; i < files.count(); ++i) {
        struct stat status {};
        if (!isSealedMemoryFile(files.fd(i)) || fstat(files.fd(i), &status) != 0 ||
            !S_ISREG(status.st_mode) || status.st_size <= 0) {
            return false;
        }
        const bool last = i == files.count() - 1;
        auto& size = sizes[std::size_t(i)];
        size = last ? total - offset : qint64(status.st_size);
        if (last ? status.st_size < size
                 : status.st_size % pageBytes() != 0 || size >= total - offset) {
            return false;
        }
        offset += size;
    }
    return files.count() > 0;
}

} // namespace

bool isSealedMemoryFile(int fd) {
    struct statfs system {};
    const int seals = fcntl(fd, F_GET_SEALS);
    return fstatfs(fd, &system) == 0 && system.f_type == TMPFS_MAGIC && seals >= 0 &&
           (seals & handOverSeals) == handOverSeals;
}

PixelFiles::PixelFiles(PixelFiles&& other) noexcept : fds_(other.fds_), count_(other.count_) {
    other.count_ = 0;
}

PixelFiles& PixelFiles::operator=(PixelFiles&& other) noexcept {
    if (this != &other) {
        reset();
        fds_ = other.fds_;
        count_ = std::exchange(other.count_, 0);
    }
    return *this;
}

bool PixelFiles::add(int fd) {
    if (fd < 0 || count_ == maxPixelFiles) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    fds_[std::size_t(count_++)] = fd;
    return true;
}

void PixelFiles::reset() {
    for (int i = 0; i < count_; ++i) {
        close(fds_[std::size_t(i)]);
    }
    count_ = 0;
}

QImage SharedPixels::make(int width, int height, QImage::Format format) const {
    return makeMapped(width, height, format, true);
}

QImage SharedPixels::makeForRows(int width, int height, QImage::Format format) const {
    return makeMapped(width, height, format, false);
}

const SharedPixels::Buffer* SharedPixels::bufferOf(const QImage& picture) const {
    // The newest buffer at that address is the picture's (an older one there was given up).
    const auto own = std::find_if(buffers_.rbegin(), buffers_.rend(), [&](const Buffer& buffer) {
        return buffer.bits == picture.constBits() && buffer.size >= picture.sizeInBytes();
    });
    return own == buffers_.rend() ? nullptr : &*own;
}

bool SharedPixels::takesRows(const QImage& picture) const {
    const Buffer* buffer = bufferOf(picture);
    return buffer != nullptr && !buffer->writable;
}

void SharedPixels::putRows(const QImage& picture, qint64 offset, const uchar* rows,
                           qint64 bytes) const {
    const Buffer* buffer = bufferOf(picture);
    if (buffer == nullptr || offset < 0 || bytes > buffer->size - offset) {
        throw std::bad_alloc();
    }
    while (bytes > 0) {
        const bool first = offset < buffer->firstBytes;
        const qint64 at = first ? offset : offset - buffer->firstBytes;
        const qint64 part = first ? std::min(bytes, buffer->firstBytes - offset) : bytes;
        const ssize_t written = pwrite(buffer->fds[first ? 0 : 1], rows, std::size_t(part), at);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throw std::bad_alloc(); // the memory file could not grow its pages
        }
        rows += written;
        offset += written;
        bytes -= written;
    }
}

qint64 SharedPixels::fixedMarginBytes() {
    cpu_set_t cores;
    const int threads =
        sched_getaffinity(0, sizeof(cores), &cores) == 0 ? 2 * CPU_COUNT(&cores) : 64;
    constexpr qint64 megabyte = 1 << 20;
    return 64 * megabyte + threads * 8 * megabyte;
}

void SharedPixels::pictureSized(qint64 bytes, double workingPictures) const {
    if (memoryBase_ <= 0 || bytes <= 0) {
        return;
    }
    if (bytes < (qint64(1) << 50) && workingPictures > 0 && workingPictures < 64) {
        lowerAddressSpace(memoryBase_ + qint64(workingPictures * double(bytes)) +
                          fixedMarginBytes());
    }
}

QImage SharedPixels::makeMapped(int width, int height, QImage::Format format, bool writable) const {
    // Any 32-bit format: a reader may make RGBA rows and turn them into the finished format in
    // place.
    const qint64 bytesPerLine = qint64(width) * 4;
    if (QImage::toPixelFormat(format).bitsPerPixel() != 32 || width <= 0 || height <= 0 ||
        bytesPerLine > (qint64(1) << 40) / height) {
        return QImage(width, height, format);
    }
    const qint64 size = bytesPerLine * height;
    PartSizes sizes{size, 0};
    if (size >= splitBytes) {
        const qint64 first = size / 2 / pageBytes() * pageBytes();
        sizes = {first, size - first};
    }
    auto* mapping = new Mapping{nullptr, std::size_t(size), {}};
    for (std::size_t i = 0; i < sizes.size() && sizes[i] > 0; ++i) {
        const int fd =
            aboveStandardStreams(memfd_create("kelmo-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
        if (!mapping->files.add(fd) || ftruncate(fd, off_t(sizes[i])) != 0) {
            delete mapping;
            return {};
        }
    }
    mapping->address =
        mapParts(mapping->files, sizes, size, writable ? PROT_READ | PROT_WRITE : PROT_READ);
    if (mapping->address == nullptr) {
        delete mapping;
        return {};
    }
    auto* bits = static_cast<uchar*>(mapping->address);
    QImage image =
        writable ? QImage(bits, width, height, qsizetype(bytesPerLine), format, unmap, mapping)
                 : QImage(static_cast<const uchar*>(bits), width, height, qsizetype(bytesPerLine),
                          format, unmap, mapping);
    if (image.isNull()) {
        unmap(mapping);
        return {};
    }
    Buffer buffer{{}, mapping->files.count(), sizes[0], image.constBits(), size, writable};
    std::copy_n(mapping->files.data(), buffer.count, buffer.fds.begin());
    buffers_.push_back(buffer);
    return image;
}

PixelFiles SharedPixels::handOver(QImage& picture, PixelLayout& layout) {
    layout = {picture.width(), picture.height(), picture.bytesPerLine(), picture.format()};
    const qint64 size = bytesOf(layout, qint64(1) << 40);
    if (size < 0) {
        return {};
    }
    const Buffer* own = bufferOf(picture);
    if (own == nullptr) {
        QImage copy = make(layout.width, layout.height, layout.format);
        if (copy.isNull()) {
            return {};
        }
        layout.bytesPerLine = copy.bytesPerLine();
        for (int y = 0; y < layout.height; ++y) {
            std::memcpy(copy.scanLine(y), picture.constScanLine(y), std::size_t(layout.width) * 4);
        }
        picture = std::move(copy);
        return handOver(picture, layout);
    }
    PixelFiles handed; // the picture's own descriptors go with its mapping
    const int count = own->count;
    for (int i = 0; i < count; ++i) {
        handed.add(dup(own->fds[std::size_t(i)]));
    }
    // Forgotten once handed over: a frames reader hands over a buffer for every frame.
    buffers_.erase(buffers_.begin() + (own - buffers_.data()));
    picture = QImage(); // unmaps it: only a file without writable mappings can be sealed
    for (int i = 0; i < handed.count(); ++i) {
        if (fcntl(handed.fd(i), F_ADD_SEALS, handOverSeals | F_SEAL_SEAL) != 0) {
            return {};
        }
    }
    return handed.count() == count ? std::move(handed) : PixelFiles();
}

QImage mapPixels(PixelFiles files, const PixelLayout& layout, qint64 maxBytes) {
    const qint64 size = bytesOf(layout, maxBytes);
    PartSizes sizes{};
    if (size <= 0 || !partsOf(files, size, sizes)) {
        return {};
    }
    void* address = mapParts(files, sizes, size, PROT_READ);
    if (address == nullptr) {
        return {};
    }
    auto* mapping = new Mapping{address, std::size_t(size), {}};
    QImage image(static_cast<const uchar*>(address), layout.width, layout.height,
                 qsizetype(layout.bytesPerLine), layout.format, unmap, mapping);
    if (image.isNull()) {
        unmap(mapping);
    }
    return image;
}

} // namespace platform::sandbox
