// SPDX-License-Identifier: MIT
// kelmo_bench --reader-margin PICTURE...: how much address space each still reader needs beyond
// the fixed working margin, in pictures of its size: the measure of what a reader asks for once
// it knows its picture's size (DecodeContext::checkSize).
//
// Each picture is read in processes forked for it that do what a reader process does: the spare's
// heap settings and warm-up on our own small pictures, then the whole read (the format's reader,
// the colour conversion, the turning upright) into memory files, handed over. What was mapped
// before the warm-up is the base, as the helper takes it when it forks the spare. Two measures:
// the read's peak address space above the base without a limit (VmPeak: what it takes when it can
// have it, thread arenas and all), and the fewest pictures with which it still reads once its
// limit is lowered as a reader lowers it (bisection to a twentieth of a picture; under a limit
// glibc makes no new thread arena and the libraries fall back where they can). Then the picture
// is read in a real reader process, locked down, with the working pictures its reader asks for.

#include "platform/PlatformError.h"
#include "reading/ImageFileLoader.h"
#include "reading/decoders/PictureDecoder.h"
#include "reading/decoders/PictureFinish.h"
#include "reading/sandbox/SharedPixels.h"

#include <QFile>
#include <QImageReader>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::decoders::DecodeContext;
using platform::sandbox::SharedPixels;

struct ReadNeed {
    bool read = false;
    qint64 pictureBytes = 0; // the finished picture, 4 bytes a pixel
    qint64 grownBytes = 0;   // peak address space above the base
    int width = 0;
    int height = 0;
};

// The field of /proc/self/status in bytes (given in kB there).
qint64 statusBytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray start = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(start)) {
            return line.mid(start.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    return 0;
}

// The pixel memory of a reader process that asks for `working` pictures whatever its reader says
// (none: no limit).
class WorkingPictures : public platform::decoders::PixelMemory {
  public:
    WorkingPictures(SharedPixels& pixels, double working) : pixels_(pixels), working_(working) {}
    QImage make(int width, int height, QImage::Format format) const override {
        return pixels_.make(width, height, format);
    }
    QImage makeForRows(int width, int height, QImage::Format format) const override {
        return pixels_.makeForRows(width, height, format);
    }
    bool takesRows(const QImage& picture) const override { return pixels_.takesRows(picture); }
    void putRows(const QImage& picture, qint64 offset, const uchar* rows,
                 qint64 bytes) const override {
        pixels_.putRows(picture, offset, rows, bytes);
    }
    void pictureSized(qint64 bytes, double) const override {
        pixels_.pictureSized(bytes, working_);
    }

  private:
    SharedPixels& pixels_;
    double working_;
};

QImage readAsAReader(QFile& file, const DecodeContext& context) {
    const auto* decoder = platform::decoders::decoderFor(file.peek(32));
    if (decoder == nullptr) {
        return {};
    }
    return platform::decoders::finishPicture(decoder->decode(file, context), context);
}

// What the spare does before its read: a megabyte of heap made and kept, our pictures read.
void warmUp() {
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
    std::free(std::calloc(1, 1 << 20));
    for (const QByteArray& bytes : platform::decoders::rehearsalPictures()) {
        const int fd = memfd_create("rehearsal", MFD_CLOEXEC);
        QFile file;
        if (write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size() &&
            lseek(fd, 0, SEEK_SET) == 0 && file.open(fd, QIODevice::ReadOnly)) {
            SharedPixels pixels;
            try {
                QImage picture = readAsAReader(file, {qint64(1) << 20, false, &pixels});
                platform::sandbox::PixelLayout layout;
                pixels.handOver(picture, layout);
            } catch (...) {
            }
        }
        close(fd);
    }
}

// In the forked process. working: the pictures asked for, 0 for no limit.
ReadNeed measureRead(const QString& path, qint64 maxBytes, double working) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QImageReader::setAllocationLimit(int(maxBytes / (1024 * 1024)));
    const qint64 base = statusBytes("VmSize");
    warmUp();
    SharedPixels pixels(working > 0 ? base : 0);
    const WorkingPictures memory(pixels, working);
    ReadNeed need;
    try {
        QImage picture = readAsAReader(file, {maxBytes, false, &memory});
        platform::sandbox::PixelLayout layout;
        need.read = pixels.handOver(picture, layout).count() > 0;
        need.width = layout.width;
        need.height = layout.height;
        need.pictureBytes = qint64(layout.width) * layout.height * 4;
    } catch (...) {
        return {};
    }
    need.grownBytes = statusBytes("VmPeak") - base;
    return need;
}

ReadNeed forkedRead(const QString& path, qint64 maxBytes, double working) {
    int ends[2];
    if (pipe(ends) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        const ReadNeed need = measureRead(path, maxBytes, working);
        const bool sent = write(ends[1], &need, sizeof(need)) == ssize_t(sizeof(need));
        _exit(sent ? 0 : 1);
    }
    close(ends[1]);
    ReadNeed need;
    if (pid < 0 || read(ends[0], &need, sizeof(need)) != ssize_t(sizeof(need))) {
        need = {}; // the read died
    }
    close(ends[0]);
    if (pid > 0) {
        waitpid(pid, nullptr, 0);
    }
    return need;
}

// The fewest working pictures, in twentieths, with which the read still reads (above `most`: -1).
double fewestPictures(const QString& path, qint64 maxBytes, double most) {
    int low = 0; // twentieths that fail
    int high = int(most * 20);
    if (!forkedRead(path, maxBytes, most).read) {
        return -1;
    }
    while (high - low > 1) {
        const int middle = (low + high) / 2;
        (forkedRead(path, maxBytes, middle / 20.0).read ? high : low) = middle;
    }
    return high / 20.0;
}

// "reads", or why the real reader process could not read it.
QString readInReader(const QString& path) {
    try {
        platform::ImageFileLoader(platform::ImageFileLoader::machineLimitMegabytes())
            .readPicture(path);
        return QStringLiteral("reads");
    } catch (const platform::PlatformError& error) {
        return error.description();
    }
}

} // namespace

int readerMargin(int argc, char** argv) {
    constexpr double megabyte = 1 << 20;
    const qint64 margin = SharedPixels::fixedMarginBytes();
    const qint64 maxBytes = qint64(platform::ImageFileLoader::machineLimitMegabytes()) << 20;
    std::printf("fixed margin %.0f MB; need: peak above the base without a limit, in pictures "
                "beyond the margin; fewest: the fewest pictures with which it reads\n",
                double(margin) / megabyte);
    std::printf("%-36s %11s %7s %8s %6s %6s  %s\n", "picture", "size", "MB", "peak MB", "need",
                "fewest", "in a reader");
    for (int i = 2; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const ReadNeed need = forkedRead(path, maxBytes, 0);
        if (!need.read) {
            std::printf("%-36s not read\n", argv[i]);
            continue;
        }
        const double picture = double(need.pictureBytes);
        std::printf("%-36s %5dx%-5d %7.1f %8.1f %6.2f %6.2f  %s\n", argv[i], need.width,
                    need.height, picture / megabyte, double(need.grownBytes) / megabyte,
                    double(need.grownBytes - margin) / picture, fewestPictures(path, maxBytes, 8),
                    qPrintable(readInReader(path)));
        std::fflush(stdout);
    }
    return 0;
}
