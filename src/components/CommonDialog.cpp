// SPDX-License-Identifier: MIT
#include "CommonDialog.h"

#include "platform/PlatformError.h"

namespace components {

QStringList CommonDialog::filterPatterns(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList patterns;
    if (parts.size() == 1) {
        patterns = parts.front().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    } else {
        for (qsizetype i = 1; i < parts.size(); i += 2) {
            patterns += parts[i].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        }
    }
    for (QString& pattern : patterns) {
        pattern = pattern.trimmed();
    }
    patterns.removeAll(QString());
    return patterns;
}

void CommonDialog::ShowOpen() {
    fileChosen(prompter_.askOpenFileName(DialogTitle, filterPatterns(Filter)));
}

void CommonDialog::ShowSave() {
    fileChosen(prompter_.askSaveFileName(DialogTitle, filterPatterns(Filter)));
}

void CommonDialog::fileChosen(const std::optional<QString>& name) {
    FileName = name.value_or(QString());
    if (!name) {
        cancelled();
    }
}

void CommonDialog::cancelled() const {
    if (CancelError) {
        throw platform::PlatformError(platform::ErrorNumber::DialogCancelled);
    }
}

void CommonDialog::ShowPrinter() {
    if ((Flags & PD_PRINTSETUP) != 0) {
        if (!prompter_.askPrintSetup()) {
            cancelled();
        }
        return;
    }
    PrintOptions options;
    options.offerSelection = (Flags & PD_NOSELECTION) == 0;
    options.offerPageRange = (Flags & PD_NOPAGENUMS) == 0;
    options.offerPrintToFile = (Flags & PD_HIDEPRINTTOFILE) == 0;
    const std::optional<PrintChoice> choice = prompter_.askPrint(options);
    if (!choice) {
        cancelled();
        return;
    }
    Copies = choice->copies;
    Flags = (Flags & ~PD_SELECTION) | (choice->selection ? PD_SELECTION : 0);
}

} // namespace components
