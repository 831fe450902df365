// SPDX-License-Identifier: MIT
#include "ProcessStart.h"

#include <QByteArray>
#include <QtGlobal>

namespace platform {

void prepareProcess() {
    // MinGW's emulated thread-local storage frees a thread's variables before their destructors
    // run as the thread ends. Qt keeps each thread's stack for its regular-expression JIT in such a
    // variable, so a reading thread that had matched one (Qt's plug-in scan filters names with
    // "*.dll") crashed as it ended. Without the JIT that variable is never touched; the matches
    // made here (plug-in names, dialog filters) are few and short. Read once, at the first match.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
}

} // namespace platform
