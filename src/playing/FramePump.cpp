// SPDX-License-Identifier: MIT
#include "FramePump.h"

#include "platform/QueueHandOff.h"

#include <QCoreApplication>

namespace playing {

namespace {
const QEvent::Type frameArrived = QEvent::Type(QEvent::User + 71);
}

FramePump::FramePump(platform::FrameSource& source, QString path, std::function<void()> arrived,
                     qint64 budgetBytes)
    : source_(source), path_(std::move(path)), arrived_(std::move(arrived)), store_(budgetBytes),
      wakeUp_(std::make_unique<QEvent>(frameArrived)),
      worker_([this](std::stop_token stop) { work(std::move(stop)); }) {}

FramePump::~FramePump() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.request_stop(); // ends a frames reader at once
    worker_.join();
}

bool FramePump::Mailbox::event(QEvent* event) {
    if (event->type() != frameArrived) {
        return QObject::event(event);
    }
    platform::takeOver(&owner_);
    {
        const std::lock_guard<std::mutex> lock(owner_.mutex_);
        owner_.wakeUp_ = std::make_unique<QEvent>(frameArrived);
    }
    owner_.arrived_();
    return true;
}

void FramePump::tell() {
    if (wakeUp_) {
        platform::handOver(this);
        QCoreApplication::postEvent(&mailbox_, wakeUp_.release());
    }
}

void FramePump::setActive(bool active) {
    const std::lock_guard<std::mutex> lock(mutex_);
    active_ = active;
    wake_.notify_all();
}

void FramePump::focusOn(int index) {
    const std::lock_guard<std::mutex> lock(mutex_);
    store_.focusOn(index);
    wake_.notify_all();
}

std::optional<platform::Frame> FramePump::frame(int index) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return store_.frame(index);
}

int FramePump::loopLength() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return store_.loopLength();
}

bool FramePump::still() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return store_.still();
}

int FramePump::plays() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return plays_;
}

bool FramePump::endedEarly() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return early_;
}

void FramePump::work(std::stop_token stop) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!active_ || early_ || store_.nextStep() == FrameStore::Step::Wait) {
            wake_.wait(lock, [this] {
                return stopping_ ||
                       (active_ && !early_ && store_.nextStep() != FrameStore::Step::Wait);
            });
            continue;
        }
        readStep(lock, stop);
    }
    std::unique_ptr<platform::FrameStream> stream = std::move(stream_);
    lock.unlock(); // the reader ends with its stream, outside the lock
}

// One step of the reading: the file opened (again), or one frame read. The lock is let go while
// the reader works.
void FramePump::readStep(std::unique_lock<std::mutex>& lock, std::stop_token stop) {
    if (stream_ == nullptr || store_.nextStep() == FrameStore::Step::Reopen) {
        std::unique_ptr<platform::FrameStream> old = std::move(stream_);
        lock.unlock();
        old.reset();
        std::unique_ptr<platform::FrameStream> opened = source_.openFrames(path_, stop);
        lock.lock();
        stream_ = std::move(opened);
        store_.reopened();
        return;
    }
    platform::FrameStream* stream = stream_.get();
    lock.unlock();
    std::optional<platform::Frame> frame = stream->next();
    lock.lock();
    if (stopping_) {
        return;
    }
    if (frame) {
        plays_ = stream->plays();
        store_.arrived(*std::move(frame));
    } else {
        early_ = stream->endedEarly() && store_.readIndex() > 0;
        store_.streamEnded();
        stream_.reset(); // the whole loop is read: its reader ends
    }
    tell();
}

} // namespace playing
