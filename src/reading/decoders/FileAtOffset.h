// SPDX-License-Identifier: MIT
#pragma once

// Reading an open file at given offsets, from several threads at once, without its position.

#include <QtGlobal>

namespace platform::decoders {

// Whether this system reads at offsets (readAtOffset).
bool readsAtOffset();

// Reads exactly `bytes` at `offset` of the open file `fd`, whatever its current position, which
// it leaves as it was. False when the file ends first or the read fails.
bool readAtOffset(int fd, char* buffer, qint64 offset, qint64 bytes);

} // namespace platform::decoders
