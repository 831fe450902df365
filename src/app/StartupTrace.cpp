// SPDX-License-Identifier: MIT
#include "StartupTrace.h"

#include "platform/qt/FirstPaint.h"

#include <QCoreApplication>
#include <cstdio>

namespace app {

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
