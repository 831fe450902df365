// SPDX-License-Identifier: MIT
#pragma once

// The common dialog: one instance whose properties keep their values from call to call, so what
// one command sets is still set when another shows a dialog. What the person answers comes from
// a DialogPrompter: the toolkit's real dialogs in the program, a script in the tests.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace components {

struct PrintChoice {
    std::int16_t copies = 1;
    bool selection = false; // the person chose to print the selection
};

struct PrintOptions {
    bool offerSelection = true;
    bool offerPageRange = true;
    bool offerPrintToFile = true;
};

class DialogPrompter {
  public:
    virtual ~DialogPrompter() = default;
    // Each returns nothing when the person cancels.
    virtual std::optional<QString> askOpenFileName(const QString& title,
                                                   const QStringList& patterns) = 0;
    virtual std::optional<QString> askSaveFileName(const QString& title,
                                                   const QStringList& patterns) = 0;
    virtual std::optional<PrintChoice> askPrint(const PrintOptions& options) = 0;
    virtual bool askPrintSetup() = 0;
};

class CommonDialog {
  public:
    // The print-dialog flags the program uses.
    static constexpr std::int32_t PD_SELECTION = 0x1;
    static constexpr std::int32_t PD_NOSELECTION = 0x4;
    static constexpr std::int32_t PD_NOPAGENUMS = 0x8;
    static constexpr std::int32_t PD_PRINTSETUP = 0x40;
    static constexpr std::int32_t PD_USEDEVMODECOPIES = 0x40000;
    static constexpr std::int32_t PD_HIDEPRINTTOFILE = 0x100000;

    explicit CommonDialog(DialogPrompter& prompter) : prompter_(prompter) {}

    QString DialogTitle = QStringLiteral("Abrir archivo de Imágen");
    QString FileName;
    QString Filter;
    std::int32_t Flags = 0;
    std::int16_t Copies = 1;
    bool CancelError = false;

    // A cancelled file dialog reads back FileName ""; with CancelError on, it also raises the
    // cancel error.
    void ShowOpen();
    void ShowSave();
    // The print dialog, or the print set-up dialog when Flags holds PD_PRINTSETUP. A cancel
    // raises the cancel error when CancelError is on.
    void ShowPrinter();

    // The filter's patterns. A filter of "description|patterns" pairs gives the patterns of its
    // pairs; a filter without a description part is read as the patterns themselves.
    static QStringList filterPatterns(const QString& filter);

  private:
    void fileChosen(const std::optional<QString>& name);
    void cancelled() const;

    DialogPrompter& prompter_;
};

} // namespace components
