// SPDX-License-Identifier: MIT
#include "ImageFileLoader.h"

#include "BusyCursor.h"
#include "PlatformError.h"
#include "decoders/PictureDecoder.h"
#include "decoders/PictureFinish.h"

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

int ImageFileLoader::machineLimitMegabytes() {
    // Qt's own default of 128 MB refuses an ordinary 8000 × 6000 photograph.
    const quint64 megabytes = physicalMemoryBytes() / (1024 * 1024);
    const quint64 half = megabytes == 0 ? 1024 : megabytes / 2;
    return int(std::clamp<quint64>(half, 256, 1 << 20));
}

ImageFileLoader::ImageFileLoader(int limitMegabytes) : limitMegabytes_(limitMegabytes) {
    QImageReader::setAllocationLimit(limitMegabytes_);
}

namespace {

[[noreturn]] void refuse(ErrorNumber number, const QString& path, const QString& reason) {
    throw PlatformError(number, QStringLiteral("No se pudo abrir el archivo «%1»: %2.")
                                    .arg(QDir::toNativeSeparators(path), reason));
}

void openRegularFile(QFile& file, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        refuse(ErrorNumber::FileNotFound, path, QStringLiteral("el archivo no existe"));
    }
    // Directories, pipes and devices are refused before they are opened: a pipe would block.
    if (!info.isFile()) {
        refuse(ErrorNumber::PathAccess, path, QStringLiteral("no es un archivo normal"));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(ErrorNumber::PathAccess, path, file.errorString());
    }
}

// Asks the system to read the whole file into its cache in the background.
void readAhead(QFile& file) {
#if defined(Q_OS_LINUX)
    posix_fadvise(file.handle(), 0, 0, POSIX_FADV_WILLNEED);
#else
    Q_UNUSED(file);
#endif
}

} // namespace

Picture ImageFileLoader::loadPicture(const QString& path) {
    const BusyCursor busy;
    return readPicture(path);
}

Picture ImageFileLoader::readPicture(const QString& path) const {
    return *read(path, false, limitBytes());
}

Picture ImageFileLoader::readPictureBeside(const QString& path, qint64 heldBytes) const {
    return *read(path, false, std::max<qint64>(limitBytes() - heldBytes, 0));
}

std::optional<Picture> ImageFileLoader::readEarly(const QString& path) const {
    return read(path, true, limitBytes());
}

std::optional<Picture> ImageFileLoader::read(const QString& path, bool early,
                                             qint64 maxBytes) const {
    QFile file(path);
    openRegularFile(file, path);
    // The content alone says what the file is: names lie, and Kelmo's own saves are bitmaps
    // under whatever name was typed.
    const decoders::PictureDecoder* decoder = decoders::decoderFor(file.peek(32));
    if (decoder == nullptr) {
        refuse(ErrorNumber::InvalidPicture, path,
               QStringLiteral("no es una imagen de un tipo compatible"));
    }
    if (early && !decoder->overlapsStartUp()) {
        readAhead(file);
        return std::nullopt;
    }
    QImage image;
    try {
        const decoders::DecodeContext context{maxBytes, early};
        image = decoders::finishPicture(decoder->decode(file, context), context);
    } catch (const decoders::NeedsApplication&) {
        return std::nullopt;
    } catch (const decoders::DecodeFailure& failure) {
        refuse(ErrorNumber::InvalidPicture, path, failure.reason());
    } catch (const std::bad_alloc&) {
        refuse(ErrorNumber::OutOfMemory, path, QStringLiteral("no hay memoria suficiente"));
    }
    if (image.isNull()) {
        refuse(ErrorNumber::OutOfMemory, path, QStringLiteral("no hay memoria suficiente"));
    }
    return Picture(std::move(image));
}

} // namespace platform
