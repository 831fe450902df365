// SPDX-License-Identifier: MIT
#include "PrefetchingLoader.h"

namespace platform {

PrefetchingLoader::~PrefetchingLoader() {
    if (pending_ && pending_->valid()) {
        stop_.request_stop();
        pending_->wait();
    }
}

void PrefetchingLoader::prefetch(const QString& path) {
    if (path.isEmpty() || pending_) {
        return;
    }
    path_ = path;
    const ImageFileLoader* loader = &loader_;
    pending_ = std::async(std::launch::async, [loader, path, stop = stop_.get_token()] {
        return loader->readEarly(path, stop);
    });
}

Picture PrefetchingLoader::loadPicture(const QString& path) {
    if (pending_ && pending_->valid() && path == path_) {
        // Rethrows the read's error, if it failed.
        std::optional<Picture> early = loader_.await(*pending_, stop_, path);
        if (early) {
            return *std::move(early);
        }
    }
    return loader_.loadPicture(path);
}

} // namespace platform
