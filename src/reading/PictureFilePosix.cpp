// SPDX-License-Identifier: MIT
#include "PictureFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A resource is compiled into the program: no one can put anything in its place.
FileOpening openResource(QFile& file, const QString& path) {
    file.setFileName(path);
    if (!file.exists()) {
        return {FileOpening::Missing, {}};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileOpening::Refused, file.errorString()};
    }
    return {FileOpening::Opened, {}};
}

} // namespace

FileOpening openPictureFile(QFile& file, const QString& path) {
    if (path.startsWith(QLatin1Char(':'))) {
        return openResource(file, path);
    }
    // Without waiting: a FIFO opens at once, and a terminal does not become ours; both are then
    // refused from what the open descriptor is.
    const int fd =
        open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return error == ENOENT || error == ENOTDIR
                   ? FileOpening{FileOpening::Missing, {}}
                   : FileOpening{FileOpening::Refused, qt_error_string(error)};
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return {FileOpening::NotRegular, {}};
    }
    // The reader shares this open file: it reads it as any other, waiting where a file waits.
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const QString reason = qt_error_string(errno);
        close(fd);
        return {FileOpening::Refused, reason};
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return {FileOpening::Refused, file.errorString()};
    }
    return {FileOpening::Opened, {}};
}

void adviseReadAhead(int fd) {
#if defined(POSIX_FADV_WILLNEED)
    posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
#else
    (void)fd;
#endif
}

quint64 physicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? quint64(pages) * quint64(pageSize) : 0;
}

} // namespace platform
