// SPDX-License-Identifier: MIT
#pragma once

// The messages between the viewer, the helper and a reader, each one datagram on a Unix
// sequenced-packet socket, with descriptors passed alongside. The viewer trusts the helper (a copy
// of itself made before any file was read) but checks everything a reader sends.

#include <cstddef>
#include <cstdint>

namespace platform::sandbox {

// Viewer to helper, with three descriptors: the file, the reader's reply end, the status end. The
// same without descriptors has the helper load what readers need now: every module, or only the
// one `module` names.
struct HelperRequest {
    enum When : std::uint32_t {
        Now = 0,        // an ordinary read: the helper loads every module first
        Early = 1,      // the start-up read, while the toolkit starts: modules may be missing
        WithModule = 2, // the start-up read again, once the helper has loaded its format's module
    };
    std::uintptr_t function = 0; // a ReaderFunction in this very program
    std::int64_t maxBytes = 0;
    std::int64_t memoryBytes = 0; // the reader's address-space allowance (0: none)
    std::uint32_t when = Now;
    std::uint32_t frames = 0; // 1: the function is a FramesFunction, read frame by frame
    char module[8] = {};
};

// Helper to viewer, on the status end: the reader started (with a pidfd), or it ended.
struct HelperNote {
    enum Kind : std::uint32_t { Started = 1, Ended = 2, NotStarted = 3 };
    std::uint32_t kind = 0;
    std::int32_t pid = 0;
    std::int32_t waitStatus = 0;
};

// Reader to viewer, on the reply end; a Picture or a Frame comes with its sealed memory file. A
// frames reader sends one Frame at a time and waits for the viewer's FrameWanted before it reads
// the next; after the last it sends Finished.
struct ReaderReply {
    enum Kind : std::uint32_t {
        Picture = 1,
        Failure = 2,
        OutOfMemory = 3,
        Later = 4,
        Frame = 5,
        Finished = 6,
    };
    enum Guard : std::uint32_t { Landlock = 1, Seccomp = 2 };
    std::uint32_t kind = 0;
    std::uint32_t guards = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int64_t bytesPerLine = 0;
    std::int32_t format = 0;      // a QImage::Format
    std::int32_t delayMs = 0;     // a Frame's
    std::int32_t plays = 0;       // the animation's, 0 for ever
    std::int32_t frameCount = -1; // as its file declares it, -1 unknown
    std::uint32_t reasonBytes = 0;
    char reason[400] = {};
};

// Viewer to reader, on the reply end of a frames reader: 1 for the next frame, 0 for no more.
using FrameWanted = std::uint32_t;

// Sends one message with up to three descriptors; false on failure. Never raises SIGPIPE.
bool sendMessage(int socket, const void* data, std::size_t size, const int* fds = nullptr,
                 int fdCount = 0);
// A descriptor moved above standard input, output and error where it is one of them (closing
// the original), or -1 when it cannot be. A reader holds nothing else, so those three are closed
// there, and a descriptor it receives or makes would otherwise take their numbers: a library's
// warning written to standard error would land in the picture's memory file, one written to
// standard output on the reply channel. Kept above them, such a write fails instead.
int aboveStandardStreams(int fd);
// Receives one message of exactly `size` bytes and up to `maxFds` descriptors (closing any
// beyond), each above the standard streams; returns the bytes received (0 at the end of the
// channel, -1 on error, errno set). A message of another size is reported as -2, its descriptors
// closed.
long receiveMessage(int socket, void* data, std::size_t size, int* fds, int maxFds, int& fdCount,
                    bool wait = true);

} // namespace platform::sandbox
