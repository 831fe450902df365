// SPDX-License-Identifier: MIT
#pragma once

#include "KelmoModel.h"

namespace app {

// The window's Load handler: start values, the picture named on the command line (or the
// built-in start-up picture), the window fitted around it.
void Form_Load(KelmoModel& model);

} // namespace app
