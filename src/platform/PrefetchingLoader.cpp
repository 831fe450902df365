#include "PrefetchingLoader.h"

namespace platform {

PrefetchingLoader::~PrefetchingLoader() {
    // A read still waiting for the application gives up; one under way is waited for.
    toolkit_.abandon();
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
    const ToolkitGate* toolkit = &toolkit_;
    pending_ = std::async(std::launch::async,
                          [loader, path, toolkit] { return loader->readPicture(path, toolkit); });
}

Picture PrefetchingLoader::loadPicture(const QString& path) {
    applicationReady();
    if (pending_ && pending_->valid() && path == path_) {
        return pending_->get(); // rethrows the read's error, if it failed
    }
    return loader_.loadPicture(path);
}

} // namespace platform
