// SPDX-License-Identifier: MIT
#include "ImageFileLoader.h"

#include "PictureFile.h"
#include "decoders/PictureDecoder.h"
#include "decoders/PictureFinish.h"
#include "decoders/modules/FormatModule.h"
#include "platform/BusyCursor.h"
#include "platform/PlatformError.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

quint64 physicalMemoryBytes() {
#if defined(_WIN32)
    MEMORYSTATUSEX status;
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? quint64(pages) * quint64(pageSize) : 0;
#endif
}

QList<QByteArray> ImageFileLoader::allowedFormats() {
    return decoders::readableFormats();
}

QStringList ImageFileLoader::readablePatterns() {
    return decoders::readablePatterns();
}

QString ImageFileLoader::qtPluginLinks() {
    return decoders::formatModuleFolder() + QStringLiteral("/qt-plugins");
}

int ImageFileLoader::machineLimitMegabytes() {
    // Qt's own default of 128 MB refuses an ordinary 8000 × 6000 photograph.
    const quint64 megabytes = physicalMemoryBytes() / (1024 * 1024);
    const quint64 half = megabytes == 0 ? 1024 : megabytes / 2;
    return int(std::clamp<quint64>(half, 256, 1 << 20));
}

namespace {

[[noreturn]] void refuse(ErrorNumber number, const QString& path, const QString& reason) {
    throw PlatformError(number, QStringLiteral("No se pudo abrir el archivo «%1»: %2.")
                                    .arg(QDir::toNativeSeparators(path), reason));
}

void openRegularFile(QFile& file, const QString& path) {
    const FileOpening opening = openPictureFile(file, path);
    switch (opening.end) {
    case FileOpening::Opened:
        return;
    case FileOpening::Missing:
        refuse(ErrorNumber::FileNotFound, path, QStringLiteral("el archivo no existe"));
    case FileOpening::NotRegular: // a directory, a pipe, a device
        refuse(ErrorNumber::PathAccess, path, QStringLiteral("no es un archivo normal"));
    case FileOpening::Refused:
        break;
    }
    refuse(ErrorNumber::PathAccess, path, opening.reason);
}

// Asks the system to read the whole file into its cache in the background.
void readAhead(int fd) {
#if defined(Q_OS_LINUX)
    posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
#else
    Q_UNUSED(fd);
#endif
}

const QString noMemory = QStringLiteral("no hay memoria suficiente");

// The reading itself, wherever it runs: the content alone says what the file is (names lie, and
// Kelmo's own saves are bitmaps under whatever name was typed).
QImage readFile(QFile& file, const decoders::DecodeContext& context) {
    const QByteArray head = file.peek(32);
    const decoders::PictureDecoder* decoder = decoders::decoderFor(head);
    if (decoder == nullptr) {
        throw decoders::DecodeFailure(QStringLiteral("no es una imagen de un tipo compatible"));
    }
    if (context.beforeApplication && !decoder->overlapsStartUp()) {
        readAhead(file.handle());
        throw decoders::NeedsApplication{decoders::moduleFor(head)};
    }
    QImage image = decoders::finishPicture(decoder->decode(file, context), context);
    if (image.isNull()) {
        throw std::bad_alloc();
    }
    return image;
}

QImage readOpenFile(int fd, const decoders::DecodeContext& context) {
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        throw decoders::DecodeFailure(file.errorString());
    }
    return readFile(file, context);
}

// The same in a reader process, whose Qt readers have the bound of this read.
QImage readInReaderProcess(int fd, const decoders::DecodeContext& context) {
    QImageReader::setAllocationLimit(int(context.maxBytes / (1024 * 1024)));
    return readOpenFile(fd, context);
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

} // namespace

bool ImageFileLoader::startReaders() {
#if defined(Q_OS_LINUX)
    return sandbox::startReaderHelper({prepareReaders, prepareModule, readInReaderProcess});
#else
    return false;
#endif
}

ImageFileLoader::ImageFileLoader(int limitMegabytes, ReadPlace place)
    : limitMegabytes_(limitMegabytes), place_(place), function_(readInReaderProcess) {
#if !defined(Q_OS_LINUX)
    place_ = ReadPlace::InProcess;
#endif
    QImageReader::setAllocationLimit(limitMegabytes_);
}

Picture ImageFileLoader::loadPicture(const QString& path) {
    const BusyCursor busy;
    if (progress_ == nullptr) {
        return readPicture(path);
    }
    std::stop_source stop;
    std::future<std::optional<Picture>> read =
        std::async(std::launch::async, [this, path, token = stop.get_token()] {
            return std::optional<Picture>(readPicture(path, token));
        });
    return *await(read, stop, path);
}

std::optional<Picture> ImageFileLoader::await(std::future<std::optional<Picture>>& read,
                                              std::stop_source& stop, const QString& path) const {
    constexpr std::chrono::milliseconds progressAfter(500);
    if (progress_ != nullptr && read.wait_for(progressAfter) == std::future_status::timeout) {
        const auto finished = [&read] {
            return read.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        };
        if (!progress_->showUntil(QFileInfo(path).fileName(), finished)) {
            stop.request_stop();
        }
    }
    return read.get();
}

Picture ImageFileLoader::readPicture(const QString& path) const {
    return *read(path, false, limitBytes(), {});
}

Picture ImageFileLoader::readPicture(const QString& path, std::stop_token stop) const {
    return *read(path, false, limitBytes(), std::move(stop));
}

Picture ImageFileLoader::readPictureBeside(const QString& path, qint64 heldBytes,
                                           std::stop_token stop) const {
    return *read(path, false, std::max<qint64>(limitBytes() - heldBytes, 0), std::move(stop));
}

std::optional<Picture> ImageFileLoader::readEarly(const QString& path, std::stop_token stop) const {
    return read(path, true, limitBytes(), std::move(stop));
}

std::optional<Picture> ImageFileLoader::read(const QString& path, bool early, qint64 maxBytes,
                                             std::stop_token stop) const {
    QFile file;
    openRegularFile(file, path);
    // A file compiled into the program (the start-up picture) has no descriptor to hand over,
    // and is ours: it is read here.
    if (place_ == ReadPlace::Reader && file.handle() >= 0) {
        return readInReader(path, file.handle(), early, maxBytes, std::move(stop));
    }
    QImage image;
    try {
        const decoders::DecodeContext context{maxBytes, early};
        image = readFile(file, context);
    } catch (const decoders::NeedsApplication&) {
        return std::nullopt;
    } catch (const decoders::DecodeFailure& failure) {
        refuse(ErrorNumber::InvalidPicture, path, failure.reason());
    } catch (const std::bad_alloc&) {
        refuse(ErrorNumber::OutOfMemory, path, noMemory);
    }
    // A read here cannot be interrupted; cancelled meanwhile, its picture is dropped when it ends.
    if (stop.stop_requested()) {
        refuse(ErrorNumber::DialogCancelled, path, QStringLiteral("se canceló la lectura"));
    }
    return Picture(std::move(image));
}

std::optional<Picture> ImageFileLoader::readInReader(const QString& path, int fd, bool early,
                                                     qint64 maxBytes, std::stop_token stop) const {
#if defined(Q_OS_LINUX)
    sandbox::ReadRequest request{function_, maxBytes, early, timeLimit_};
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
#else
    Q_UNUSED(path);
    Q_UNUSED(fd);
    Q_UNUSED(early);
    Q_UNUSED(maxBytes);
    Q_UNUSED(stop);
    return std::nullopt;
#endif
}

} // namespace platform
