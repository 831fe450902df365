// SPDX-License-Identifier: MIT
#include "ArgumentsCommandLine.h"

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

} // namespace platform
