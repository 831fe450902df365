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

double millisecondsSinceProcessStart() {
#if defined(__linux__)
    // A launcher that measures us may hand over the monotonic time at which it started us, which
    // is finer than the clock ticks of the process start time the kernel keeps.
    static const double launchedMs = [] {
        bool ok = false;
        const double ns = qEnvironmentVariable("KELMO_LAUNCHED_AT_NS").toDouble(&ok);
        return ok ? ns / 1e6 : -1.0;
    }();
    if (launchedMs >= 0) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6 - launchedMs;
    }
    // Field 22 of /proc/self/stat is the start time in clock ticks since boot.
    static const double startMs = [] {
        QFile stat(QStringLiteral("/proc/self/stat"));
        if (!stat.open(QIODevice::ReadOnly)) {
            return -1.0;
        }
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 19 ? fields[19].toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK))
                                  : -1.0;
    }();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return startMs < 0 ? 0.0 : nowMs - startMs;
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
