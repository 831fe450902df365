#pragma once

// The picture loader: our own bitmap reader, and QImageReader for the other formats, behind an
// allow-list, a memory bound, and a check that a file's content is what its name says. Pixels
// are converted once, here, to the format the raster engine draws fastest.

#include "Services.h"

#include <QByteArray>
#include <QList>

namespace platform {

class ImageFileLoader : public PictureLoader {
  public:
    // limitMegabytes bounds the decoded size of one picture.
    explicit ImageFileLoader(int limitMegabytes = machineLimitMegabytes());
    Picture loadPicture(const QString& path) override;
    // The same without the wait cursor: safe on any thread, even before the application object
    // exists.
    Picture readPicture(const QString& path) const;

    // The formats read, by the names Qt's reader gives them after looking at a file's content.
    // Left out on purpose: icns, tga, tiff, mng, wbmp, xpm and svg, whose decoders have a poor
    // security record or are not raster pictures.
    static const QList<QByteArray>& allowedFormats();
    // Half the machine's memory: every picture that can be held opens, and a header that claims
    // more is refused before anything is allocated.
    static int machineLimitMegabytes();
    int limitMegabytes() const { return limitMegabytes_; }

  private:
    int limitMegabytes_;
};

// The machine's physical memory in bytes, or 0 when the system does not say.
quint64 physicalMemoryBytes();

} // namespace platform
