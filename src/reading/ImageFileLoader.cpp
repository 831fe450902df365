// SPDX-License-Identifier: MIT
#include "ImageFileLoader.h"

#include "LoaderParts.h"
#include "PictureFile.h"
#include "decoders/PictureDecoder.h"
#include "decoders/PictureFinish.h"
#include "decoders/modules/FormatModule.h"
#include "platform/BusyCursor.h"
#include "platform/PlatformError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <new>

namespace platform {

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

void reading::refuse(ErrorNumber number, const QString& path, const QString& reason) {
    throw PlatformError(number, QStringLiteral("No se pudo abrir el archivo «%1»: %2.")
                                    .arg(QDir::toNativeSeparators(path), reason));
}

QImage reading::readFile(QFile& file, const decoders::DecodeContext& context) {
    // The content alone says what the file is (names lie, and Kelmo's own saves are bitmaps
    // under whatever name was typed).
    const QByteArray head = file.peek(32);
    const decoders::PictureDecoder* decoder = decoders::decoderFor(head);
    if (decoder == nullptr) {
        throw decoders::DecodeFailure(QStringLiteral("no es una imagen de un tipo compatible"));
    }
    if (context.beforeApplication && !decoder->overlapsStartUp()) {
        adviseReadAhead(file.handle());
        throw decoders::NeedsApplication{decoders::moduleFor(head)};
    }
    QImage image = decoders::finishPicture(decoder->decode(file, context), context);
    if (image.isNull()) {
        throw std::bad_alloc();
    }
    return image;
}

namespace {

using reading::refuse;

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

const QString noMemory = QStringLiteral("no hay memoria suficiente");

} // namespace

ImageFileLoader::ImageFileLoader(int limitMegabytes, ReadPlace place)
    : limitMegabytes_(limitMegabytes),
      place_(reading::readerProcessesHere() ? place : ReadPlace::InProcess) {
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
        image = reading::readFile(file, context);
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

} // namespace platform
