#pragma once

#include "Services.h"

#include <QStringList>

namespace platform {

// The command-line text rebuilt from the arguments the system handed over: the arguments after
// the program's name joined with single blanks, used unchanged.
class ArgumentsCommandLine : public CommandLine {
  public:
    explicit ArgumentsCommandLine(QStringList argumentsAfterProgram)
        : text_(argumentsAfterProgram.join(QLatin1Char(' '))) {}
    QString text() const override { return text_; }

  private:
    QString text_;
};

} // namespace platform
