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

// Formats that are one family under several names.
QByteArray family(const QByteArray& format) {
    if (format == "dib") {
        return "bmp";
    }
    if (format == "cur") {
        return "ico";
    }
    if (format == "jpg" || format == "jpe") {
        return "jpeg";
    }
    if (format == "pgm" || format == "ppm" || format == "pnm") {
        return "pbm";
    }
    return format;
}

// A name that promises one picture format may not hold another: a file that says it is a
// bitmap is read as a bitmap or not at all.
void checkFormat(const QString& path, const QByteArray& content) {
    if (content.isEmpty() || !ImageFileLoader::allowedFormats().contains(content)) {
        refuse(ErrorNumber::InvalidPicture, path,
               QStringLiteral("no es una imagen de un tipo compatible"));
    }
    const QByteArray suffix = family(QFileInfo(path).suffix().toLower().toLatin1());
    const bool known = ImageFileLoader::allowedFormats().contains(suffix) || suffix == "dib";
    if (known && suffix != family(content)) {
        refuse(ErrorNumber::InvalidPicture, path,
               QStringLiteral("su contenido no es una imagen %1 aunque su nombre lo dice")
                   .arg(QString::fromLatin1(suffix.toUpper())));
    }
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

QImage readWithQt(QFile& file, const QString& path, const QByteArray& format) {
    QImageReader reader(&file, format);
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        refuse(ErrorNumber::InvalidPicture, path, reader.errorString());
    }
    return image;
}

} // namespace

Picture ImageFileLoader::loadPicture(const QString& path) {
    const BusyCursor busy;
    return readPicture(path);
}

Picture ImageFileLoader::readPicture(const QString& path) const {
    QFile file(path);
    openRegularFile(file, path);
    char signature[2] = {};
    const bool bitmap = file.peek(signature, 2) == 2 && signature[0] == 'B' && signature[1] == 'M';
    QByteArray format = "bmp";
    if (!bitmap) {
        QImageReader probe(&file);
        probe.setDecideFormatFromContent(true);
        format = probe.format();
        file.seek(0);
    }
    checkFormat(path, format);

    QImage image;
    if (bitmap) {
        // Our own reader reads bitmaps straight into ready-to-draw pixels; it leaves the rare
        // layouts it does not handle to Qt's.
        bmp::Result decoded = bmp::decode(file, qint64(limitMegabytes_) * 1024 * 1024);
        if (decoded.outcome == bmp::Outcome::Malformed) {
            refuse(ErrorNumber::InvalidPicture, path, decoded.reason);
        }
        image = std::move(decoded.image);
        file.seek(0);
    }
    if (image.isNull()) {
        image = readWithQt(file, path, format);
    }
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
