// SPDX-License-Identifier: MIT
// Windows' ReadFile at an offset moves the file's position as it reads, which the reader that
// goes on with the file after it would not expect: bitmaps are read in one pass there.

#include "FileAtOffset.h"

namespace platform::decoders {

bool readsAtOffset() {
    return false;
}

bool readAtOffset(int, char*, qint64, qint64) {
    return false;
}

} // namespace platform::decoders
