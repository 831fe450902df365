#pragma once

// A loader that can start reading one picture ahead of time, on a worker thread, while the rest
// of the program starts: the picture named on the command line is read while the toolkit sets up
// its window, and start-up then only waits for what is left of the read.
//
// What overlaps with the building of the application object: opening and reading the file, and
// the readers of our own (bitmaps, JPEG, AVIF, HEIF, JPEG XL) with the colour and orientation
// step. Readers that go through Qt's plug-ins (PNG, GIF, WebP, icons) wait until start-up says
// the application object exists, since Qt's plug-in lookup reads its library paths.

#include "ImageFileLoader.h"
#include "ToolkitGate.h"

#include <future>
#include <optional>

namespace platform {

class PrefetchingLoader : public PictureLoader {
  public:
    explicit PrefetchingLoader(ImageFileLoader& loader) : loader_(loader) {}
    ~PrefetchingLoader() override;

    void prefetch(const QString& path);
    // Called once the application object exists: the read may go on with Qt's readers.
    void applicationReady() { toolkit_.open(); }
    // The prefetched picture (or its error) when path is the one prefetched; a normal load
    // otherwise, and for every later call. Only called once the application object exists.
    Picture loadPicture(const QString& path) override;

  private:
    ImageFileLoader& loader_;
    ToolkitGate toolkit_;
    QString path_;
    std::optional<std::future<Picture>> pending_;
};

} // namespace platform
