// SPDX-License-Identifier: MIT
#pragma once

// With KELMO_TRACE_STARTUP set, start-up prints how long each stage took since the process
// began (or since KELMO_LAUNCHED_AT_NS, the monotonic time at which a launcher started it):
// before main, the application object, the picture's load, the first painted frame.
// It costs nothing otherwise.

#include <QString>
#include <vector>

class QWidget;

namespace app {

class StartupTrace {
  public:
    StartupTrace();
    bool enabled() const { return enabled_; }
    void mark(const char* stage);
    // Marks the first frame painted by widget, prints the stages, and stops watching.
    void markFirstPaintOf(QWidget* widget);

    // Prints the stages marked so far.
    void print() const;

  private:
    bool enabled_;
    std::vector<std::pair<const char*, double>> stages_;
};

// Milliseconds since this process began or was launched (Linux), or since the first call
// elsewhere.
double millisecondsSinceProcessStart();

} // namespace app
