// SPDX-License-Identifier: MIT
#include "StartupTrace.h"

#include "platform/qt/FirstPaint.h"

#include <QCoreApplication>
#include <QFile>
#include <chrono>
#include <cstdio>

#if defined(__linux__)
#include <ctime>
#include <unistd.h>
#endif

namespace app {

#if defined(__linux__)
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
#endif

double millisecondsSinceProcessStart() {
#if defined(__linux__)
    static const Origin origin = processOrigin();
    return nowMs(origin.clock) - origin.ms;
#else
    static const auto first = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - first)
        .count();
#endif
}

StartupTrace::StartupTrace() : enabled_(qEnvironmentVariableIsSet("KELMO_TRACE_STARTUP")) {
    mark("main");
}

void StartupTrace::mark(const char* stage) {
    if (enabled_) {
        stages_.emplace_back(stage, millisecondsSinceProcessStart());
    }
}

void StartupTrace::markFirstPaintOf(QWidget* widget) {
    if (enabled_) {
        platform::qt::afterFirstPaint(widget, [this] {
            mark("first paint");
            print();
        });
    }
}

void StartupTrace::print() const {
    double previous = 0.0;
    for (const auto& [stage, at] : stages_) {
        std::fprintf(stderr, "kelmo start-up: %-12s at %7.1f ms (+%.1f)\n", stage, at,
                     at - previous);
        previous = at;
    }
}

} // namespace app
