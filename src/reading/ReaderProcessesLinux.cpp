// SPDX-License-Identifier: MIT
// Reading in locked-down reader processes (sandbox/ReaderProcess.h): Linux's way.

#include "ImageFileLoader.h"
#include "LoaderParts.h"
#include "decoders/PictureFinish.h"
#include "decoders/modules/FormatModule.h"

#include <QBuffer>
#include <QImageReader>
#include <unistd.h>

namespace platform {

namespace {

using reading::refuse;

// What a reader runs: the picture readers, with Qt's under the bound of this read.
QImage readInReaderProcess(int fd, const decoders::DecodeContext& context) {
    QImageReader::setAllocationLimit(int(context.maxBytes / (1024 * 1024)));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        throw decoders::DecodeFailure(file.errorString());
    }
    return reading::readFile(file, context);
}

// Loads, in the helper, what the readers would otherwise load at run time: the format modules
// with their picture libraries, and the plug-ins of the formats Qt reads.
void prepareReaders() {
    decoders::loadFormatModules(decoders::formatModuleFolder());
    for (const QByteArray& format : decoders::toolkitFormats()) {
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        QImageReader(&empty, format).canRead();
    }
}

// Loads, in the helper, one format's module and the colour module, for the start-up read of that
// format: a few milliseconds against tens for every module.
bool prepareModule(const char* name) {
    const QString folder = decoders::formatModuleFolder();
    const char* module = decoders::formatModuleNamed(name);
    const bool format = module != nullptr && decoders::loadFormatModule(folder, module);
    return decoders::loadFormatModule(folder, "colour") || format;
}

// What a frames reader runs: every frame of the file, finished, until no more are wanted.
void readFramesInReaderProcess(int fd, const decoders::DecodeContext& context,
                               sandbox::FrameSink& sink) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        throw decoders::DecodeFailure(file.errorString());
    }
    const std::unique_ptr<decoders::FrameReader> frames = decoders::openAnimation(file, context);
    if (frames == nullptr) {
        return; // a still picture
    }
    const decoders::AnimationInfo& info = frames->info();
    while (std::optional<decoders::AnimationFrame> frame = frames->next()) {
        QImage finished = reading::finishFrame(*frame, info, context);
        if (!sink.put(finished, frame->delayMs, info.plays, info.frameCount)) {
            return;
        }
    }
}

class ReaderFrames : public FrameStream {
  public:
    ReaderFrames(const QFile& file, qint64 maxBytes, std::stop_token stop)
        : reading_(file.handle(), readFramesInReaderProcess, maxBytes, std::chrono::minutes(1),
                   std::move(stop)) {}
    std::optional<Frame> next() override {
        std::optional<sandbox::ArrivedFrame> frame = reading_.next();
        if (!frame) {
            return std::nullopt;
        }
        plays_ = frame->plays;
        declared_ = frame->frameCount;
        return Frame{Picture(std::move(frame->image)), frame->delayMs};
    }
    int plays() const override { return plays_; }
    int declaredFrames() const override { return declared_; }
    bool endedEarly() const override {
        return reading_.end() != sandbox::ReadEnd::Picture || !reading_.earlyEnd().isEmpty();
    }

  private:
    sandbox::FramesReading reading_; // holds its own copy of the file's descriptor
    int plays_ = 0;
    int declared_ = -1;
};
} // namespace

bool reading::readerProcessesHere() {
    return true;
}

std::unique_ptr<FrameStream> reading::openReaderFrames(const QFile& file, qint64 maxBytes,
                                                       std::stop_token stop) {
    return std::make_unique<ReaderFrames>(file, maxBytes, std::move(stop));
}

bool ImageFileLoader::startReaders() {
    return sandbox::startReaderHelper({prepareReaders, prepareModule, readInReaderProcess});
}

std::optional<Picture> ImageFileLoader::readInReader(const QString& path, int fd, bool early,
                                                     qint64 maxBytes, std::stop_token stop) const {
    sandbox::ReadRequest request{function_ != nullptr ? function_ : readInReaderProcess, maxBytes,
                                 early, timeLimit_};
    sandbox::ReadOutcome outcome = sandbox::readInReader(fd, request, stop);
    // A start-up read that needs one format's module is read again at once, beside the toolkit's
    // start, once the helper has loaded that module alone (the reader's word names a module of
    // ours or nothing). Anything else it needs waits for the application object.
    const char* module = outcome.end == sandbox::ReadEnd::Later && early
                             ? decoders::formatModuleNamed(outcome.reason.toLatin1())
                             : nullptr;
    if (module != nullptr && lseek(fd, 0, SEEK_SET) == 0) {
        sandbox::prepareModuleNow(module);
        request.early = false;
        request.withModule = true;
        outcome = sandbox::readInReader(fd, request, std::move(stop));
    }
    switch (outcome.end) {
    case sandbox::ReadEnd::Picture:
        return Picture(std::move(outcome.image));
    case sandbox::ReadEnd::Later:
        if (early) {
            sandbox::prepareReadersNow(); // the read that follows will need the modules
            return std::nullopt;
        }
        break;
    case sandbox::ReadEnd::Failure:
        refuse(ErrorNumber::InvalidPicture, path, outcome.reason);
    case sandbox::ReadEnd::OutOfMemory:
        refuse(ErrorNumber::OutOfMemory, path,
               QStringLiteral("la imagen necesita más memoria de la permitida"));
    case sandbox::ReadEnd::TimedOut:
        refuse(ErrorNumber::InvalidPicture, path,
               QStringLiteral("la lectura superó el tiempo máximo"));
    case sandbox::ReadEnd::Cancelled:
        refuse(ErrorNumber::DialogCancelled, path, QStringLiteral("se canceló la lectura"));
    case sandbox::ReadEnd::NoReader:
        refuse(ErrorNumber::InvalidPicture, path,
               QStringLiteral("no se pudo iniciar el lector de imágenes"));
    case sandbox::ReadEnd::Crashed:
    case sandbox::ReadEnd::Finished:
        break;
    }
    refuse(ErrorNumber::InvalidPicture, path, QStringLiteral("el lector de imágenes se detuvo"));
}

} // namespace platform
