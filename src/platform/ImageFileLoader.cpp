#include "ImageFileLoader.h"

#include "BmpDecoder.h"
#include "BusyCursor.h"
#include "PlatformError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#else
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

const QList<QByteArray>& ImageFileLoader::allowedFormats() {
    static const QList<QByteArray> formats{"bmp", "gif",  "ico", "cur", "png", "jpeg",
                                           "jpg", "webp", "pbm", "pgm", "ppm", "xbm"};
    return formats;
}

int ImageFileLoader::allocationLimitMegabytes() {
    // Qt's own default of 128 MB refuses an ordinary 8000 × 6000 photograph. Half the machine's
    // memory lets every picture open that can be held, and still refuses a header that claims
    // more than that before anything is allocated.
    const quint64 megabytes = physicalMemoryBytes() / (1024 * 1024);
    const quint64 half = megabytes == 0 ? 1024 : megabytes / 2;
    return int(std::clamp<quint64>(half, 256, 1 << 20));
}

ImageFileLoader::ImageFileLoader() {
    QImageReader::setAllocationLimit(allocationLimitMegabytes());
}

namespace {

[[noreturn]] void refuse(ErrorNumber number, const QString& path, const QString& reason) {
    throw PlatformError(number, QStringLiteral("No se pudo abrir el archivo «%1»: %2.")
                                    .arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

Picture ImageFileLoader::loadPicture(const QString& path) {
    const BusyCursor busy;
    const QFileInfo info(path);
    if (!info.exists()) {
        refuse(ErrorNumber::FileNotFound, path, QStringLiteral("el archivo no existe"));
    }
    if (!info.isFile()) {
        refuse(ErrorNumber::PathAccess, path, QStringLiteral("no es un archivo normal"));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        refuse(ErrorNumber::PathAccess, path, file.errorString());
    }
    // Bitmaps are read by our own reader, straight into ready-to-draw pixels; the layouts it
    // leaves alone, and every other format, go to Qt's readers.
    char signature[2] = {};
    if (file.peek(signature, 2) == 2 && signature[0] == 'B' && signature[1] == 'M') {
        bmp::Result bitmap = bmp::decode(file, qint64(allocationLimitMegabytes()) * 1024 * 1024);
        if (bitmap.outcome == bmp::Outcome::Decoded) {
            return Picture(std::move(bitmap.image));
        }
        if (bitmap.outcome == bmp::Outcome::Malformed) {
            refuse(ErrorNumber::InvalidPicture, path, bitmap.reason);
        }
        file.seek(0);
    }
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format.isEmpty() || !allowedFormats().contains(format)) {
        refuse(ErrorNumber::InvalidPicture, path,
               QStringLiteral("no es una imagen de un tipo compatible"));
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        refuse(ErrorNumber::InvalidPicture, path, reader.errorString());
    }
    // Converted once here so that nothing on the drawing path converts again.
    const QImage::Format drawFormat =
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image.format() != drawFormat) {
        image.convertTo(drawFormat);
    }
    if (image.isNull()) {
        refuse(ErrorNumber::OutOfMemory, path, QStringLiteral("no hay memoria suficiente"));
    }
    return Picture(std::move(image));
}

} // namespace platform
