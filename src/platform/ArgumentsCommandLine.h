// SPDX-License-Identifier: MIT
#pragma once

#include "Services.h"

#include <QStringList>

namespace platform {

// The command-line text: everything after the program's own name, as one string, used
// unchanged. On Windows it is the text the system hands over, quotes and all; elsewhere the
// system hands over separate arguments, which are joined with single blanks.
class ArgumentsCommandLine : public CommandLine {
  public:
    explicit ArgumentsCommandLine(QStringList argumentsAfterProgram)
        : text_(argumentsAfterProgram.join(QLatin1Char(' '))) {}
    QString text() const override { return text_; }

    // The command line of this process.
    static ArgumentsCommandLine fromSystem(const QStringList& argumentsAfterProgram);
    // Its text, read from main's arguments before the application object exists. Where the
    // application later takes some arguments for itself (-platform, say) the two differ.
    static QString beforeApplication(int argc, char** argv);
    // The text after the program's name in a whole Windows command line: the name is the first
    // token (quoted or not), and the blanks after it are not part of the arguments.
    static QString afterProgramName(const QString& wholeCommandLine);

  private:
    explicit ArgumentsCommandLine(QString text, int) : text_(std::move(text)) {}
    QString text_;
};

} // namespace platform
