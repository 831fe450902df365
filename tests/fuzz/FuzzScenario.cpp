// SPDX-License-Identifier: MIT
#include "FuzzScenario.h"

#include "app/KelmoForm.h"
#include "platform/ArgumentsCommandLine.h"
#include "reading/ImageFileLoader.h"
#include "reading/decoders/FrameReader.h"
#include "reading/decoders/PictureFinish.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>

namespace fuzzing {

namespace {

class MemorySaver : public platform::PictureSaver {
  public:
    void savePicture(const platform::Picture& picture, const QString&) override {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "bmp").write(picture.toImage());
    }
};

class NullClipboard : public platform::Clipboard {
  public:
    void setData(const platform::Picture&) override {}
};

class NullPrinter : public platform::Printer {
  public:
    void setCopies(std::int16_t) override {}
    std::int16_t copies() const override { return 1; }
    void paintPicture(const platform::Picture&, float, float) override {}
    void endDoc() override {}
};

class SilentMessages : public platform::MessageBoxService {
  public:
    void show(const QString&, const QString&, platform::MessageIcon) override {}
};

class SaveToMemory : public components::DialogPrompter {
  public:
    std::optional<QString> askOpenFileName(const QString&, const QStringList&) override {
        return std::nullopt;
    }
    std::optional<QString> askSaveFileName(const QString&, const QStringList&) override {
        return QStringLiteral("memoria");
    }
    std::optional<components::PrintChoice> askPrint(const components::PrintOptions&) override {
        return std::nullopt;
    }
    bool askPrintSetup() override { return false; }
};

QString scratchFile() {
    // No extension: the content alone decides which reader sees the bytes.
    return QDir::temp().filePath(
        QStringLiteral("kelmo-fuzz-%1").arg(QCoreApplication::applicationPid()));
}

// Reads the frames of whatever animation the file holds, each finished as the player has them
// finished; a damaged file ends with its reason.
void readFrames(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const platform::decoders::DecodeContext context{qint64(64) << 20};
    try {
        const auto frames = platform::decoders::openAnimation(file, context);
        for (int n = 0; frames != nullptr && n < 64; ++n) {
            std::optional<platform::decoders::AnimationFrame> frame = frames->next();
            if (!frame) {
                break;
            }
            platform::decoders::Decoded decoded;
            decoded.image = std::move(frame->canvas);
            decoded.iccProfile = frames->info().iccProfile;
            decoded.codePoints = frames->info().codePoints;
            platform::decoders::finishPicture(std::move(decoded), context);
        }
    } catch (const platform::decoders::DecodeFailure&) {
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

void runScenario(const QByteArray& bytes) {
    const QString path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            return;
        }
    }
    // A small bound keeps a lying header from costing the fuzzer gigabytes.
    platform::ImageFileLoader loader(64, platform::ReadPlace::InProcess);
    MemorySaver saver;
    NullClipboard clipboard;
    NullPrinter printer;
    SilentMessages messages;
    SaveToMemory prompter;
    const platform::FixedScreenMetrics screen(15.0f, 15.0f);
    const platform::ArgumentsCommandLine commandLine({path});
    platform::BackgroundReader backgroundReader(platform::readingBeside(loader));
    const platform::FixedScreenArea screenArea;
    app::KelmoServices services{loader, saver,      clipboard,   printer,  messages,
                                screen, screenArea, commandLine, prompter, backgroundReader};
    app::KelmoForm form(services);
    platform::Form& window = form.window();
    window.load();

    const float w = form.model().Image1.Width();
    const float h = form.model().Image1.Height();
    window.runHandler([&] { form.Image1_MouseDown(1, 0, w / 4, h / 4); });
    window.runHandler([&] { form.Image1_MouseMove(1, 0, w * 3 / 4, h * 3 / 4); });
    window.runHandler([&] { form.Zoom_Click(); });
    window.runHandler([&] { form.ImagenPanoramica_MouseDown(1, 0, 100, 100); });
    window.runHandler([&] { form.ImagenPanoramica_MouseMove(1, 0, 400, 300); });
    window.runHandler([&] { form.Image1_MouseDown(1, 0, 15, 15); });
    window.runHandler([&] { form.Image1_MouseMove(1, 0, w / 2, h / 2); });
    window.runHandler([&] { form.SaveSelected_Click(); });
    window.runHandler([&] { form.Restore_Click(); });
    readFrames(path);
    QFile::remove(path);
}

} // namespace fuzzing
