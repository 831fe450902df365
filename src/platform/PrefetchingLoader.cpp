// SPDX-License-Identifier: MIT
#include "PrefetchingLoader.h"

namespace platform {

PrefetchingLoader::~PrefetchingLoader() {
    if (pending_ && pending_->valid()) {
        pending_->wait();
    }
}

void PrefetchingLoader::prefetch(const QString& path) {
    if (path.isEmpty() || pending_) {
        return;
    }
    path_ = path;
    const ImageFileLoader* loader = &loader_;
    pending_ = std::async(std::launch::async, [loader, path] { return loader->readEarly(path); });
}

Picture PrefetchingLoader::loadPicture(const QString& path) {
    if (pending_ && pending_->valid() && path == path_) {
        std::optional<Picture> early = pending_->get(); // rethrows the read's error, if it failed
        if (early) {
            return *std::move(early);
        }
    }
    return loader_.loadPicture(path);
}

} // namespace platform
