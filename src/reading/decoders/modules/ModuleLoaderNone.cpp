// SPDX-License-Identifier: MIT
// Where there are no reader processes, the program links its readers (kelmo_linked_formats) and
// loads no module.

#include "FormatModule.h"

namespace platform::decoders {

QString formatModuleFolder() {
    return {};
}

bool loadFormatModule(const QString&, const char*) {
    return false;
}

void loadFormatModules(const QString&) {}

} // namespace platform::decoders
