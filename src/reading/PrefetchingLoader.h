// SPDX-License-Identifier: MIT
#pragma once

// A loader that can start reading one picture ahead of time, on a worker thread, while the rest
// of the program starts: the picture named on the command line is read while the toolkit sets up
// its window, and start-up then only waits for what is left of the read.
//
// What overlaps with the building of the application object: opening the file, the system's
// reading ahead of it, and in a reader process the read of every format whose reader is ours
// (ImageFileLoader::readEarly); Qt's own formats are read once the application object exists. A
// read still going on when start-up needs it shows the progress window after half a second;
// ending the loader ends the read.

#include "ImageFileLoader.h"

#include <future>
#include <optional>

namespace platform {

class PrefetchingLoader : public PictureLoader {
  public:
    explicit PrefetchingLoader(ImageFileLoader& loader) : loader_(loader) {}
    ~PrefetchingLoader() override;

    void prefetch(const QString& path);
    // The prefetched picture (or its error) when path is the one prefetched and was read ahead;
    // a normal load otherwise, and for every later call.
    Picture loadPicture(const QString& path) override;

  private:
    ImageFileLoader& loader_;
    QString path_;
    std::stop_source stop_;
    std::optional<std::future<std::optional<Picture>>> pending_;
};

} // namespace platform
