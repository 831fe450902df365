// SPDX-License-Identifier: MIT
#include "components/CommonDialog.h"
#include "platform/PlatformError.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using components::CommonDialog;
using components::PrintChoice;

namespace {

TEST(CommonDialog, FilterTextIsReadAsPatterns) {
    const struct {
        const char* filter;
        QStringList patterns;
    } cases[] = {
        {"*.bmp;*.gif;*.ico", {"*.bmp", "*.gif", "*.ico"}},
        {"", {}},
        {"Imágenes|*.bmp;*.gif|Todos|*.*", {"*.bmp", "*.gif", "*.*"}},
        {"*.bmp; *.gif", {"*.bmp", "*.gif"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommonDialog::filterPatterns(QString::fromUtf8(c.filter)), c.patterns)
            << c.filter;
    }
}

TEST(CommonDialog, FileDialogsShowTheDesignTitleAndReadBackTheChoice) {
    testing_support::ScriptedPrompter prompter;
    CommonDialog dialog(prompter);
    prompter.fileAnswers = {QStringLiteral("/tmp/a.bmp"), std::nullopt};
    dialog.Filter = QStringLiteral("*.bmp;*.gif;*.ico");
    dialog.ShowSave();
    EXPECT_EQ(dialog.FileName, QStringLiteral("/tmp/a.bmp"));
    // Properties persist: the open dialog that follows gets the save's filter.
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName, QString());
    ASSERT_EQ(prompter.titles.size(), 2u);
    EXPECT_EQ(prompter.titles[1], QStringLiteral("Abrir archivo de Imágen"));
    EXPECT_EQ(prompter.patterns[1], (QStringList{"*.bmp", "*.gif", "*.ico"}));
}

TEST(CommonDialog, CancelRaisesOnlyWithCancelErrorOn) {
    testing_support::ScriptedPrompter prompter;
    CommonDialog dialog(prompter);
    dialog.Flags = 1310728;
    dialog.CancelError = false;
    EXPECT_NO_THROW(dialog.ShowPrinter());
    EXPECT_NO_THROW(dialog.ShowOpen());
    dialog.CancelError = true;
    EXPECT_THROW(dialog.ShowPrinter(), platform::PlatformError);
    EXPECT_THROW(dialog.ShowOpen(), platform::PlatformError);
    dialog.Flags = 64;
    EXPECT_THROW(dialog.ShowPrinter(), platform::PlatformError);
    prompter.setupAnswers = {true};
    EXPECT_NO_THROW(dialog.ShowPrinter());
}

TEST(CommonDialog, PrintDialogReportsCopiesAndTheSelectionBit) {
    testing_support::ScriptedPrompter prompter;
    CommonDialog dialog(prompter);
    dialog.Flags = 1310728;
    prompter.printAnswers = {PrintChoice{3, true}, PrintChoice{1, false}};
    dialog.ShowPrinter();
    EXPECT_EQ(dialog.Copies, 3);
    EXPECT_EQ(dialog.Flags, 1310728 | 1);
    ASSERT_EQ(prompter.printOptions.size(), 1u);
    EXPECT_TRUE(prompter.printOptions[0].offerSelection);
    EXPECT_FALSE(prompter.printOptions[0].offerPageRange);
    EXPECT_FALSE(prompter.printOptions[0].offerPrintToFile);
    dialog.ShowPrinter();
    EXPECT_EQ(dialog.Copies, 1);
    EXPECT_EQ(dialog.Flags & 1, 0);
}

} // namespace
