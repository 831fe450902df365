// SPDX-License-Identifier: MIT
// Nothing needs setting before the first thread here.
#include "ProcessStart.h"

namespace platform {

void prepareProcess() {}

} // namespace platform
