// SPDX-License-Identifier: MIT
#pragma once

// The finished picture's pixels in memory files: the reader makes its picture buffers there and
// hands over the files that hold the finished picture, sealed so that they can no longer change
// or shrink; the viewer checks the sizes against the files and maps them read-only, one after
// the other at consecutive addresses.
//
// A large buffer is made of two files, each holding a whole number of pages but the last: the
// kernel makes a memory file's pages one at a time under a lock of that file, so two threads
// that fill the two halves of one file wait for each other, and of two files they do not.

#include "reading/decoders/PictureDecoder.h"

#include <array>
#include <vector>

namespace platform::sandbox {

struct PixelLayout {
    int width = 0;
    int height = 0;
    qint64 bytesPerLine = 0;
    QImage::Format format = QImage::Format_Invalid;
};

constexpr int maxPixelFiles = 2;

// Up to maxPixelFiles descriptors of memory files, closed with it.
class PixelFiles {
  public:
    PixelFiles() = default;
    PixelFiles(const PixelFiles&) = delete;
    PixelFiles& operator=(const PixelFiles&) = delete;
    PixelFiles(PixelFiles&& other) noexcept;
    PixelFiles& operator=(PixelFiles&& other) noexcept;
    ~PixelFiles() { reset(); }

    // Takes the descriptor; false (and closed) when it is not one or the files are full.
    bool add(int fd);
    void reset();
    int count() const { return count_; }
    int fd(int i) const { return fds_[std::size_t(i)]; }
    const int* data() const { return fds_.data(); }

  private:
    std::array<int, maxPixelFiles> fds_{};
    int count_ = 0;
};

// In the reader.
class SharedPixels : public decoders::PixelMemory {
  public:
    // memoryBase: the address space the reader had mapped before its read (0: its limit is left
    // as it is).
    explicit SharedPixels(std::int64_t memoryBase = 0) : memoryBase_(memoryBase) {}
    QImage make(int width, int height, QImage::Format format) const override;
    // Put rows are written into the memory file without mapping it writable here: the kernel
    // then neither zeroes the new pages first nor has to unmap them before the file is sealed.
    QImage makeForRows(int width, int height, QImage::Format format) const override;
    bool takesRows(const QImage& picture) const override;
    void putRows(const QImage& picture, qint64 offset, const uchar* rows,
                 qint64 bytes) const override;
    // The sealed memory files holding the picture (none when memory ran out). The picture's
    // own buffer is handed over when it is one of ours (it is released first: a file with a
    // writable mapping cannot be sealed); any other picture is copied into a new one.
    PixelFiles handOver(QImage& picture, PixelLayout& layout);
    // Lowers the reader's address-space limit to the base, the picture as many times over as the
    // reader says it needs (what its format's read was measured to need, the picture itself
    // included; more for an animation's frames) and a fixed working margin (the libraries' small
    // buffers, a thread stack for each of the decoders' threads): a file that declares a small
    // picture can then take no more than a little, whatever it does.
    void pictureSized(qint64 bytes, double workingPictures) const override;
    // The working margin above the pictures: 64 MB and a thread stack for two threads a core.
    static qint64 fixedMarginBytes();

  private:
    struct Buffer {
        std::array<int, maxPixelFiles> fds; // owned by the picture's mapping
        int count;
        qint64 firstBytes; // of the first file
        const uchar* bits;
        qint64 size;
        bool writable;
    };
    QImage makeMapped(int width, int height, QImage::Format format, bool writable) const;
    const Buffer* bufferOf(const QImage& picture) const;
    mutable std::vector<Buffer> buffers_;
    std::int64_t memoryBase_;
};

// In the viewer: whether fd is a memory file sealed against writing, shrinking and growing, the
// only kind of file mapped from a reader. It must be on tmpfs, where memory files live: one of
// huge pages lives on hugetlbfs, and its mapping, rounded up to a huge page, would reach past
// the range reserved for it over the viewer's own mappings.
bool isSealedMemoryFile(int fd);

// In the viewer: the picture in the memory files, or a null picture when the layout does not fit
// them or holds more than maxBytes, one is not a sealed memory file, or the format is not one a
// reader gives. Takes the descriptors.
QImage mapPixels(PixelFiles files, const PixelLayout& layout, qint64 maxBytes);

} // namespace platform::sandbox
