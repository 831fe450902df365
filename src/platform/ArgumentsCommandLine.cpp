// SPDX-License-Identifier: MIT
#include "ArgumentsCommandLine.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace platform {

QString ArgumentsCommandLine::afterProgramName(const QString& whole) {
    qsizetype i = 0;
    if (whole.startsWith(QLatin1Char('"'))) {
        const qsizetype close = whole.indexOf(QLatin1Char('"'), 1);
        i = close < 0 ? whole.size() : close + 1;
    } else {
        while (i < whole.size() && whole[i] != QLatin1Char(' ') && whole[i] != QLatin1Char('\t')) {
            ++i;
        }
    }
    while (i < whole.size() && (whole[i] == QLatin1Char(' ') || whole[i] == QLatin1Char('\t'))) {
        ++i;
    }
    return whole.mid(i);
}

ArgumentsCommandLine ArgumentsCommandLine::fromSystem(const QStringList& argumentsAfterProgram) {
#if defined(_WIN32)
    Q_UNUSED(argumentsAfterProgram);
    return ArgumentsCommandLine(afterProgramName(QString::fromWCharArray(GetCommandLineW())), 0);
#else
    return ArgumentsCommandLine(argumentsAfterProgram);
#endif
}

} // namespace platform
