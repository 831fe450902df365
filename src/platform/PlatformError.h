// SPDX-License-Identifier: MIT
#pragma once

// Errors raised by the form engine and its services. A handler that traps nothing stops at the
// failing step; the form reports the error in a message box and the window stays open.

#include <QString>
#include <stdexcept>

namespace platform {

enum class ErrorNumber : int {
    None = 0,
    Overflow = 6,
    OutOfMemory = 7,
    DivisionByZero = 11,
    FileNotFound = 53,
    PathAccess = 75,
    InvalidProperty = 380,
    InvalidPicture = 481,
    PrinterError = 482,
    DialogCancelled = 32755,
};

class PlatformError : public std::runtime_error {
  public:
    explicit PlatformError(ErrorNumber number, QString detail = {});

    ErrorNumber number() const { return number_; }
    // A plain Spanish sentence for the user: what went wrong and, where known, the file and the
    // reason.
    const QString& description() const { return description_; }

  private:
    ErrorNumber number_;
    QString description_;
};

// The standard text for an error number, used when the raiser gives no detail.
QString standardDescription(ErrorNumber number);

} // namespace platform
