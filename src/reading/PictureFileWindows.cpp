// SPDX-License-Identifier: MIT
#include "PictureFile.h"

#include <QFileInfo>

namespace platform {

// Here a name is looked at before it is opened; a pipe or a device is refused before its open.
FileOpening openPictureFile(QFile& file, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {FileOpening::Missing, {}};
    }
    if (!info.isFile()) {
        return {FileOpening::NotRegular, {}};
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {FileOpening::Refused, file.errorString()};
    }
    return {FileOpening::Opened, {}};
}

} // namespace platform
