// SPDX-License-Identifier: MIT
#pragma once

// Opening a picture file. What the file is is decided from the open file, never from its name
// beforehand: whatever is put in its place meanwhile (a FIFO, a device) can neither block the
// open nor be handed to a reader.

#include <QFile>
#include <QString>

namespace platform {

struct FileOpening {
    enum End { Opened, Missing, NotRegular, Refused };
    End end;
    QString reason; // Refused: the system's own words
};

// Opens path read-only into file, kept only when it is a regular file or one of the program's
// own resources (":/..."), and reads from it wait as from any file.
FileOpening openPictureFile(QFile& file, const QString& path);

} // namespace platform
