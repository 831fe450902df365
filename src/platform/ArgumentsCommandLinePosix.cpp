// SPDX-License-Identifier: MIT
// Where the system hands over separate arguments.
#include "ArgumentsCommandLine.h"

namespace platform {

ArgumentsCommandLine ArgumentsCommandLine::fromSystem(const QStringList& argumentsAfterProgram) {
    return ArgumentsCommandLine(argumentsAfterProgram);
}

QString ArgumentsCommandLine::beforeApplication(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return ArgumentsCommandLine(arguments).text();
}

} // namespace platform
