// SPDX-License-Identifier: MIT
#pragma once

// "Resume after every error": each step runs on its own; a step that raises an error is skipped,
// the next one runs, and the record keeps the number of the last error raised. Start-up and the
// open command work this way and test the record once.

#include "PlatformError.h"

#include <new>
#include <utility>

namespace platform {

class ErrorRecord {
  public:
    template <typename Step> void step(Step&& body) {
        try {
            std::forward<Step>(body)();
        } catch (const PlatformError& error) {
            number_ = error.number();
        } catch (const std::bad_alloc&) {
            number_ = ErrorNumber::OutOfMemory;
        }
    }

    bool failed() const { return number_ != ErrorNumber::None; }
    ErrorNumber number() const { return number_; }

  private:
    ErrorNumber number_ = ErrorNumber::None;
};

} // namespace platform
