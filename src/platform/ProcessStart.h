// SPDX-License-Identifier: MIT
#pragma once

namespace platform {

// What this system needs set in the process before its first thread starts: the program's and
// the tests' first call.
void prepareProcess();

} // namespace platform
