// SPDX-License-Identifier: MIT
#include "TestSupport.h"

#include <QFile>

namespace testing_support {

std::optional<QString> ScriptedPrompter::nextFile(const QString& title, const QStringList& p) {
    titles.push_back(title);
    patterns.push_back(p);
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    std::optional<QString> answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedPrompter::askOpenFileName(const QString& title,
                                                         const QStringList& p) {
    ++openCount;
    return nextFile(title, p);
}

std::optional<QString> ScriptedPrompter::askSaveFileName(const QString& title,
                                                         const QStringList& p) {
    ++saveCount;
    return nextFile(title, p);
}

std::optional<components::PrintChoice>
ScriptedPrompter::askPrint(const components::PrintOptions& options) {
    printOptions.push_back(options);
    if (printAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = printAnswers.front();
    printAnswers.pop_front();
    return answer;
}

bool ScriptedPrompter::askPrintSetup() {
    if (setupAnswers.empty()) {
        return false;
    }
    const bool answer = setupAnswers.front();
    setupAnswers.pop_front();
    return answer;
}

QRgb patternPixel(int x, int y) {
    return qRgb(x % 256, y % 256, (x / 256 + 7 * (y / 256)) % 256);
}

QImage patternImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = patternPixel(x, y);
        }
    }
    return image;
}

PictureFiles::PictureFiles() = default;

QString PictureFiles::write(const QString& name, int width, int height, const char* format) {
    const QString file = dir_.filePath(name);
    patternImage(width, height).save(file, format);
    return file;
}

QString PictureFiles::writeText(const QString& name, const QByteArray& bytes) {
    const QString file = dir_.filePath(name);
    QFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(bytes);
    }
    return file;
}

KelmoHarness::KelmoHarness(const QString& text)
    : commandLine(std::make_unique<platform::ArgumentsCommandLine>(
          text.isEmpty() ? QStringList{} : QStringList{text})),
      services(std::make_unique<app::KelmoServices>(
          app::KelmoServices{loader, saver, clipboard, printer, messages, screen, screenArea,
                             *commandLine, prompter, backgroundReader, &loader})),
      form_(std::make_unique<app::KelmoForm>(*services)) {}

} // namespace testing_support
