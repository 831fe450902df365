// SPDX-License-Identifier: MIT
#pragma once

// The picture loader: the file's content picks one of the readers in decoders/ (the only formats
// read), under a memory bound; the picture is then turned upright, converted to sRGB and put in
// the format the raster engine draws fastest, once, here.

#include "Services.h"

#include <QByteArray>
#include <QList>
#include <optional>
#include <stop_token>

namespace platform {

class ImageFileLoader : public PictureLoader {
  public:
    // limitMegabytes bounds the decoded size of one picture.
    explicit ImageFileLoader(int limitMegabytes = machineLimitMegabytes());
    Picture loadPicture(const QString& path) override;
    // The same without the wait cursor, on any thread once the application object exists.
    Picture readPicture(const QString& path) const;
    // The same leaving room within the bound for heldBytes of pictures already held, for reading
    // a picture ahead of time.
    Picture readPictureBeside(const QString& path, qint64 heldBytes) const;
    // What may be read while the application object is being built, on any thread: the picture
    // where our bitmap reader reads it; for the other formats nothing (the system is asked to
    // read the file into its cache meanwhile). Errors as readPicture.
    std::optional<Picture> readEarly(const QString& path) const;

    // The formats read, recognised by their content (see decoders/PictureDecoder.h).
    static QList<QByteArray> allowedFormats();
    // Half the machine's memory: every picture that can be held opens, and a header that claims
    // more is refused before anything is allocated.
    static int machineLimitMegabytes();
    int limitMegabytes() const { return limitMegabytes_; }

  private:
    std::optional<Picture> read(const QString& path, bool early, qint64 maxBytes) const;
    qint64 limitBytes() const { return qint64(limitMegabytes_) * 1024 * 1024; }

    int limitMegabytes_;
};

// How a background reader reads through this loader: beside the pictures already held.
inline auto readingBeside(const ImageFileLoader& loader) {
    return [&loader](const QString& path, qint64 heldBytes, std::stop_token) {
        return loader.readPictureBeside(path, heldBytes);
    };
}

// The machine's physical memory in bytes, or 0 when the system does not say.
quint64 physicalMemoryBytes();

} // namespace platform
