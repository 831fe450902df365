// SPDX-License-Identifier: MIT
#include "FreshPages.h"

namespace platform::decoders {

void makePagesFor(void*, std::size_t) {} // a hint no other system takes

} // namespace platform::decoders
