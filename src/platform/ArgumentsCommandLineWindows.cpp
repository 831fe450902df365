// SPDX-License-Identifier: MIT
// Windows hands over one command line, the program's name first, in UTF-16.
#include "ArgumentsCommandLine.h"

#include <windows.h>

namespace platform {

ArgumentsCommandLine ArgumentsCommandLine::fromSystem(const QStringList&) {
    return ArgumentsCommandLine(afterProgramName(QString::fromWCharArray(GetCommandLineW())), 0);
}

QString ArgumentsCommandLine::beforeApplication(int, char**) {
    return fromSystem({}).text();
}

} // namespace platform
