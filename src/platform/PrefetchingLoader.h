#pragma once

// A loader that can start reading one picture ahead of time, on a worker thread, while the rest
// of the program starts: the picture named on the command line is read while the toolkit sets up
// its window, and start-up then only waits for what is left of the read.

#include "ImageFileLoader.h"

#include <future>
#include <optional>

namespace platform {

class PrefetchingLoader : public PictureLoader {
  public:
    explicit PrefetchingLoader(ImageFileLoader& loader) : loader_(loader) {}
    ~PrefetchingLoader() override;

    void prefetch(const QString& path);
    // The prefetched picture (or its error) when path is the one prefetched; a normal load
    // otherwise, and for every later call.
    Picture loadPicture(const QString& path) override;

  private:
    ImageFileLoader& loader_;
    QString path_;
    std::optional<std::future<Picture>> pending_;
};

} // namespace platform
