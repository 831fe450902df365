// SPDX-License-Identifier: MIT
// What the viewer maps of a reader's pixels: sealed memory files on tmpfs alone, holding no more
// than the picture bound allows, whatever the picture's height.

#include "reading/sandbox/SharedPixels.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

using platform::sandbox::isSealedMemoryFile;
using platform::sandbox::mapPixels;
using platform::sandbox::PixelFiles;
using platform::sandbox::PixelLayout;

namespace {

constexpr qint64 fileBytes = 2 << 20; // one huge page
constexpr int handOverSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE;

// A memory file of fileBytes, sealed as a reader hands it over when `seals`; -1 where the
// system cannot make one.
int memoryFile(unsigned flags, int seals = handOverSeals) {
    const int fd = memfd_create("kelmo-test", MFD_CLOEXEC | MFD_ALLOW_SEALING | flags);
    if (fd >= 0 && (ftruncate(fd, fileBytes) != 0 || fcntl(fd, F_ADD_SEALS, seals) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

// An unnamed file of fileBytes in that folder, or -1.
int fileIn(const char* folder) {
    const int fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 && ftruncate(fd, fileBytes) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int pipeEnd() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return -1;
    }
    close(ends[1]);
    return ends[0];
}

int socketEnd() {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return -1;
    }
    close(ends[1]);
    return ends[0];
}

QImage mapOne(int fd, const PixelLayout& layout, qint64 maxBytes) {
    PixelFiles files;
    files.add(fd);
    return mapPixels(std::move(files), layout, maxBytes);
}

const PixelLayout wholeFile{512, 1024, 2048, QImage::Format_RGB32};

TEST(SharedPixels, MapsOnlySealedMemoryFilesOnTmpfs) {
    const struct {
        const char* name;
        int fd;
        bool mapped;
    } cases[] = {
        {"sealed memory file", memoryFile(0), true},
        {"memory file without the seals", memoryFile(0, 0), false},
        {"memory file of huge pages", memoryFile(MFD_HUGETLB), false},
        {"pipe", pipeEnd(), false},
        {"socket", socketEnd(), false},
        {"file in the temporary folder", fileIn("/tmp"), false},
        {"file on tmpfs", fileIn("/dev/shm"), false},
    };
    for (const auto& c : cases) {
        if (c.fd < 0) {
            // Huge pages may be missing from the kernel, and /dev/shm from a container.
            std::cout << "Skipped, this system cannot make one: " << c.name << '\n';
            continue;
        }
        EXPECT_EQ(isSealedMemoryFile(c.fd), c.mapped) << c.name;
        const QImage picture = mapOne(dup(c.fd), wholeFile, fileBytes);
        EXPECT_EQ(picture.size(), c.mapped ? QSize(512, 1024) : QSize(0, 0)) << c.name;
        close(c.fd);
    }
}

TEST(SharedPixels, RefusesALayoutOverTheBoundOrInconsistentWhateverItsHeight) {
    constexpr qint64 bound = 4096;
    const struct {
        const char* name;
        PixelLayout layout;
        bool mapped;
    } cases[] = {
        {"one row at the bound", {1024, 1, 4096, QImage::Format_RGB32}, true},
        {"square at the bound", {32, 32, 128, QImage::Format_ARGB32_Premultiplied}, true},
        {"one row over the bound", {1025, 1, 4100, QImage::Format_RGB32}, false},
        {"one padded row over the bound", {1, 1, 4100, QImage::Format_RGB32}, false},
        {"two rows over the bound", {513, 2, 2052, QImage::Format_RGB32}, false},
        {"rows shorter than their pixels", {32, 8, 64, QImage::Format_RGB32}, false},
        {"rows of part of a pixel", {32, 8, 130, QImage::Format_RGB32}, false},
        {"no rows", {32, 0, 128, QImage::Format_RGB32}, false},
        {"no width", {0, 8, 128, QImage::Format_RGB32}, false},
        {"rows whose size overflows", {1, 4, qint64(1) << 62, QImage::Format_RGB32}, false},
        {"a format no reader gives", {32, 8, 128, QImage::Format_ARGB32}, false},
    };
    for (const auto& c : cases) {
        const QImage picture = mapOne(memoryFile(0), c.layout, bound);
        EXPECT_EQ(!picture.isNull(), c.mapped) << c.name;
    }
}

} // namespace
