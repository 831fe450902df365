// SPDX-License-Identifier: MIT
// Where there are no reader processes (Windows for now), pictures are read in this process.

#include "ImageFileLoader.h"
#include "LoaderParts.h"

namespace platform {

bool reading::readerProcessesHere() {
    return false;
}

std::unique_ptr<FrameStream> reading::openReaderFrames(const QFile&, qint64, std::stop_token) {
    return nullptr;
}

bool ImageFileLoader::startReaders() {
    return false;
}

std::optional<Picture> ImageFileLoader::readInReader(const QString&, int, bool, qint64,
                                                     std::stop_token) const {
    return std::nullopt; // never asked: the loader's place is this process
}

} // namespace platform
