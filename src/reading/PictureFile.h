// SPDX-License-Identifier: MIT
#pragma once

// Opening a picture file. What the file is is decided from the open file, never from its name
// beforehand: whatever is put in its place meanwhile (a FIFO, a device) can neither block the
// open nor be handed to a reader.

#include <QFile>
#include <QString>
#include <QtGlobal>

namespace platform {

struct FileOpening {
    enum End { Opened, Missing, NotRegular, Refused };
    End end;
    QString reason; // Refused: the system's own words
};

// Opens path read-only into file, kept only when it is a regular file or one of the program's
// own resources (":/..."), and reads from it wait as from any file.
FileOpening openPictureFile(QFile& file, const QString& path);

// Asks the system to read the whole open file into its cache in the background, where it can.
void adviseReadAhead(int fd);

// The machine's physical memory in bytes, or 0 when the system does not say.
quint64 physicalMemoryBytes();

} // namespace platform
