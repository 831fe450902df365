// SPDX-License-Identifier: MIT
#pragma once

// The window shown while a long read goes on: what a person sees, and where they may cancel.

#include <QString>
#include <functional>

namespace platform {

class ReadProgress {
  public:
    virtual ~ReadProgress() = default;
    // Shows a small modal window naming the file, with a busy bar and "Cancelar", until
    // finished() (asked often) says true or the person cancels; every window keeps repainting
    // meanwhile and no other command runs. Returns false when the person cancelled.
    virtual bool showUntil(const QString& fileName, const std::function<bool()>& finished) = 0;
};

} // namespace platform
