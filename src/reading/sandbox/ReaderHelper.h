// SPDX-License-Identifier: MIT
#pragma once

#include "ReaderProcess.h"

#include <cstdint>

namespace platform::sandbox {

// The viewer's end of the channel to the helper, -1 when none runs.
int helperChannelForReads();
// Where the helper has gone (its channel broken): ends it if it is still there and starts a new
// one, a fresh copy of this program run as a helper; the channel to it, or -1. Call with the
// requests' lock held.
int restartReaderHelper();

// A reader function as sent to the helper, and back: its place in this program's image, the same
// in a helper started afresh, whose image lies elsewhere.
std::uintptr_t functionOffset(ReaderFunction function);
std::uintptr_t functionOffset(FramesFunction function);
ReaderFunction functionAt(std::uintptr_t offset);
FramesFunction framesFunctionAt(std::uintptr_t offset);

} // namespace platform::sandbox
