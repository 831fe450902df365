// SPDX-License-Identifier: MIT
#pragma once

namespace platform::sandbox {

// The viewer's end of the channel to the helper, -1 when none runs.
int helperChannelForReads();

} // namespace platform::sandbox
