// SPDX-License-Identifier: MIT
#include "FileAtOffset.h"

#include <cerrno>
#include <unistd.h>

namespace platform::decoders {

bool readsAtOffset() {
    return true;
}

bool readAtOffset(int fd, char* buffer, qint64 offset, qint64 bytes) {
    while (bytes > 0) {
        const ssize_t got = ::pread(fd, buffer, size_t(bytes), off_t(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        buffer += got;
        offset += got;
        bytes -= got;
    }
    return true;
}

} // namespace platform::decoders
