// SPDX-License-Identifier: MIT
// Linux keeps each process's start time: start-up is measured from it.
#include "StartupTrace.h"

#include <QFile>
#include <ctime>
#include <unistd.h>

namespace app {

namespace {

double nowMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

// The clock to measure with and its reading when the process began.
struct Origin {
    clockid_t clock;
    double ms;
};

Origin processOrigin() {
    // A launcher that measures us may hand over the monotonic time at which it started us, which
    // is finer than the clock ticks of the process start time the kernel keeps.
    bool ok = false;
    const double launchedNs = qEnvironmentVariable("KELMO_LAUNCHED_AT_NS").toDouble(&ok);
    if (ok) {
        return {CLOCK_MONOTONIC, launchedNs / 1e6};
    }
    // Field 22 of /proc/self/stat is the start time in clock ticks since boot.
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) {
        return {CLOCK_BOOTTIME, nowMs(CLOCK_BOOTTIME)};
    }
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() <= 19) {
        return {CLOCK_BOOTTIME, nowMs(CLOCK_BOOTTIME)};
    }
    return {CLOCK_BOOTTIME, fields[19].toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK))};
}

} // namespace

double millisecondsSinceProcessStart() {
    static const Origin origin = processOrigin();
    return nowMs(origin.clock) - origin.ms;
}

} // namespace app
