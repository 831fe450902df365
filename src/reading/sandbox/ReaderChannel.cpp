// SPDX-License-Identifier: MIT
#include "ReaderChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::sandbox {

namespace {
constexpr int maxPassed = 3;
}

bool sendMessage(int socket, const void* data, std::size_t size, const int* fds, int fdCount) {
    iovec part{const_cast<void*>(data), size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * maxPassed)] = {};
    if (fdCount > 0 && fdCount <= maxPassed) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(sizeof(int) * std::size_t(fdCount));
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * std::size_t(fdCount));
        std::memcpy(CMSG_DATA(header), fds, sizeof(int) * std::size_t(fdCount));
    }
    ssize_t sent;
    do {
        sent = sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == ssize_t(size);
}

int aboveStandardStreams(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

long receiveMessage(int socket, void* data, std::size_t size, int* fds, int maxFds, int& fdCount,
                    bool wait) {
    fdCount = 0;
    iovec part{data, size};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * maxPassed)] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    ssize_t received;
    do {
        received = recvmsg(socket, &message, MSG_CMSG_CLOEXEC | (wait ? 0 : MSG_DONTWAIT));
    } while (received < 0 && errno == EINTR);
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            fd = aboveStandardStreams(fd);
            if (fdCount < maxFds && fd >= 0) {
                fds[fdCount++] = fd;
            } else if (fd >= 0) {
                close(fd);
            }
        }
    }
    const bool whole =
        received == ssize_t(size) && (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0;
    if (received > 0 && !whole) {
        for (int i = 0; i < fdCount; ++i) {
            close(fds[i]);
        }
        fdCount = 0;
        return -2;
    }
    return long(received);
}

} // namespace platform::sandbox
