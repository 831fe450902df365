// SPDX-License-Identifier: MIT
#pragma once

// What the tests share: doubles for the parts a person answers (message boxes and dialogs),
// real picture files written to a temporary folder, and a Kelmo window built on the real
// loader, saver, clipboard and printer.

#include "app/KelmoForm.h"
#include "platform/ArgumentsCommandLine.h"
#include "platform/BmpFileSaver.h"
#include "platform/GuiClipboard.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtServices.h"
#include "reading/ImageFileLoader.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace testing_support {

struct ShownMessage {
    QString text;
    QString title;
    platform::MessageIcon icon;
};

class RecordingMessageBox : public platform::MessageBoxService {
  public:
    void show(const QString& text, const QString& title, platform::MessageIcon icon) override {
        shown.push_back({text, title, icon});
        if (whileShown) {
            whileShown(); // what a real modal box does meanwhile, such as taking the focus
        }
    }
    std::vector<ShownMessage> shown;
    std::function<void()> whileShown;
};

// Answers the dialogs from a script, in order; a dialog with no answer left is cancelled.
class ScriptedPrompter : public components::DialogPrompter {
  public:
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<components::PrintChoice>> printAnswers;
    std::deque<bool> setupAnswers;
    // What the dialogs were shown with.
    std::vector<QString> titles;
    std::vector<QStringList> patterns;
    std::vector<components::PrintOptions> printOptions;
    int openCount = 0;
    int saveCount = 0;

    std::optional<QString> askOpenFileName(const QString& title, const QStringList& p) override;
    std::optional<QString> askSaveFileName(const QString& title, const QStringList& p) override;
    std::optional<components::PrintChoice>
    askPrint(const components::PrintOptions& options) override;
    bool askPrintSetup() override;

  private:
    std::optional<QString> nextFile(const QString& title, const QStringList& p);
};

// A picture whose every pixel has a colour of its own position, so a cut can be checked pixel
// by pixel against the coordinates it should come from.
QImage patternImage(int width, int height);
QRgb patternPixel(int x, int y);

class PictureFiles {
  public:
    PictureFiles();
    // Writes a pattern picture of that size in the given format and returns its path.
    QString write(const QString& name, int width, int height, const char* format = "bmp");
    QString writeText(const QString& name, const QByteArray& bytes);
    QString path(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
};

// A Kelmo window with real services at 15 twips per pixel, not yet loaded.
class KelmoHarness {
  public:
    explicit KelmoHarness(const QString& commandLine = {});

    app::KelmoForm& form() { return *form_; }
    app::KelmoModel& model() { return form_->model(); }
    app::ViewState& state() { return form_->model().state; }
    // Runs the Load handler as the platform does.
    void load() { form_->window().load(); }

    platform::FixedScreenMetrics screen{15.0f, 15.0f};
    // Larger than any window unless a test makes it smaller.
    platform::FixedScreenArea screenArea;
    platform::ImageFileLoader loader;
    platform::BmpFileSaver saver;
    platform::GuiClipboard clipboard;
    platform::qt::QtPrinter printer;
    RecordingMessageBox messages;
    ScriptedPrompter prompter;
    platform::BackgroundReader backgroundReader{platform::readingBeside(loader)};
    std::unique_ptr<platform::ArgumentsCommandLine> commandLine;
    std::unique_ptr<app::KelmoServices> services;
    std::unique_ptr<app::KelmoForm> form_;
};

// A Kelmo window with real services, shown in its real Qt window once start() loads it.
// Its pictures' folder outlives both.
struct ShownKelmo {
    PictureFiles files;
    std::unique_ptr<KelmoHarness> kelmo;
    std::unique_ptr<platform::qt::QtFormWindow> window;

    void start(const QString& commandLine) {
        kelmo = std::make_unique<KelmoHarness>(commandLine);
        window = std::make_unique<platform::qt::QtFormWindow>(kelmo->model().window);
        kelmo->load();
        window->showForm();
        QApplication::processEvents();
    }
};

} // namespace testing_support
