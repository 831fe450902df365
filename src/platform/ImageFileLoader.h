#pragma once

// The picture loader: QImageReader behind an allow-list of formats, a memory bound tied to the
// machine, and pixels converted once to the format the raster engine draws fastest.

#include "Services.h"

#include <QByteArray>
#include <QList>

namespace platform {

class ImageFileLoader : public PictureLoader {
  public:
    ImageFileLoader();
    Picture loadPicture(const QString& path) override;

    // The formats read, by the names Qt's reader gives them after looking at a file's content.
    // Left out on purpose: icns, tga, tiff, mng, wbmp, xpm and svg, whose decoders have a poor
    // security record or are not raster pictures.
    static const QList<QByteArray>& allowedFormats();
    // The largest decoded picture accepted, in megabytes: half the machine's memory.
    static int allocationLimitMegabytes();
};

// The machine's physical memory in bytes, or 0 when the system does not say.
quint64 physicalMemoryBytes();

} // namespace platform
