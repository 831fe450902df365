// SPDX-License-Identifier: MIT
#include "BmpFileSaver.h"

#include "BusyCursor.h"
#include "PlatformError.h"

#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

namespace platform {

namespace {

[[noreturn]] void refuse(const QString& path, const QString& reason) {
    throw PlatformError(ErrorNumber::PathAccess,
                        QStringLiteral("No se pudo guardar el archivo «%1»: %2.")
                            .arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

void BmpFileSaver::savePicture(const Picture& picture, const QString& path) {
    const BusyCursor busy;
    const QImage image = picture.toImage();
    if (image.isNull()) {
        throw PlatformError(ErrorNumber::InvalidPicture);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        refuse(path, file.errorString());
    }
    QImageWriter writer(&file, "bmp");
    if (!writer.write(image)) {
        const QString reason =
            file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        refuse(path, reason);
    }
    if (!file.commit()) {
        refuse(path, file.errorString());
    }
}

} // namespace platform
