#pragma once

// The picture loader: the file's content picks one of the readers in decoders/ (the only formats
// read), under a memory bound; the picture is then turned upright, converted to sRGB and put in
// the format the raster engine draws fastest, once, here.

#include "Services.h"

#include <QByteArray>
#include <QList>

namespace platform {

class ToolkitGate;

class ImageFileLoader : public PictureLoader {
  public:
    // limitMegabytes bounds the decoded size of one picture.
    explicit ImageFileLoader(int limitMegabytes = machineLimitMegabytes());
    Picture loadPicture(const QString& path) override;
    // The same without the wait cursor, on any thread. Before the application object exists,
    // pass the gate that start-up opens once it does: readers that need Qt's plug-ins wait there.
    Picture readPicture(const QString& path, const ToolkitGate* toolkit = nullptr) const;

    // The formats read, recognised by their content (see decoders/PictureDecoder.h).
    static QList<QByteArray> allowedFormats();
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
