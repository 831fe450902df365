// SPDX-License-Identifier: MIT
// Where pictures are read in this process, Qt's image plug-ins are among its readers.
#include "DesktopIntegration.h"

namespace platform::qt {

void keepImagePluginsOut(const QString&) {}

} // namespace platform::qt
