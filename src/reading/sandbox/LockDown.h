// SPDX-License-Identifier: MIT
#pragma once

// What a reader process does to itself before it reads a byte of the picture: from then on it can
// only compute, use the memory it is allowed, and talk through the descriptors it was handed.

#include <cstdint>

namespace platform::sandbox {

// The guards the kernel granted; the session, the limits, no dumping and no new privileges are
// always set.
struct LockDownResult {
    bool landlock = false; // no file-system access at all
    bool seccomp = false; // only the system calls reading needs (a reader without it reads nothing)
};

// The most descriptors a reader may hold: its file, its channel, its picture's memory files
// and their duplicates.
constexpr int maxReaderFiles = 16;

// Returns false when any guard but Landlock and seccomp could not be set.
bool lockDown(LockDownResult& result);

// The address space this process has mapped (libraries, stacks, heap), in bytes.
std::int64_t mappedBytes();
// Bounds the address space of a reader (see memoryBoundApplies), set before it reads.
bool boundAddressSpace(int pid, std::int64_t bytes);
// Bounds the size of each file a reader writes (its memory files: memory it holds outside its
// address space), set before it reads.
bool boundFileSize(int pid, std::int64_t bytes);
// Lowers this process's address-space limit to `bytes`, never raising it.
bool lowerAddressSpace(std::int64_t bytes);

// Whether an address-space limit can be set in this build: AddressSanitizer and ThreadSanitizer
// reserve terabytes of address space for their shadow memory, so under them the reader is bounded
// only by the picture memory bound the readers check themselves.
bool memoryBoundApplies();

// Whether this is a sanitizer build. There the reader keeps standard error, where a sanitizer
// writes its report; the shipped program's reader has no descriptor but its file and channel.
bool sanitizerBuild();

} // namespace platform::sandbox
