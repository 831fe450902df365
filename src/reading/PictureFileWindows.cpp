// SPDX-License-Identifier: MIT
#include "PictureFile.h"

#include <QFileInfo>

#include <io.h>
#include <windows.h>

namespace platform {

// A name is looked at before it is opened, so that a device (CON, NUL) or a folder is refused
// before its open; what was opened is then judged again, for whatever took the name's place.
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
    if (file.handle() < 0) {
        return {FileOpening::Opened, {}}; // one of the program's own resources
    }
    const intptr_t handle = _get_osfhandle(file.handle());
    if (handle == -1 || GetFileType(reinterpret_cast<HANDLE>(handle)) != FILE_TYPE_DISK) {
        file.close();
        return {FileOpening::NotRegular, {}};
    }
    return {FileOpening::Opened, {}};
}

void adviseReadAhead(int) {} // Windows reads ahead by itself

quint64 physicalMemoryBytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

} // namespace platform
