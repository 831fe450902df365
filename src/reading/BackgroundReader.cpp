// SPDX-License-Identifier: MIT
#include "BackgroundReader.h"

#include <QCoreApplication>

namespace platform {

namespace {
const QEvent::Type wakeUpType = QEvent::Type(QEvent::registerEventType());
} // namespace

BackgroundReader::BackgroundReader(ReadFunction read)
    : read_(std::move(read)), worker_([this] { work(); }) {}

BackgroundReader::~BackgroundReader() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        request_.reset();
        running_.request_stop();
    }
    wake_.notify_one();
    // A read under way is finished first: the reader's state is not ours to tear down.
    worker_.join();
}

void BackgroundReader::start(const QString& path, qint64 heldBytes, Done done) {
    done_ = std::move(done);
    busy_ = true;
    {
        const std::lock_guard lock(mutex_);
        request_ = Request{path, heldBytes, ++generation_, std::make_unique<QEvent>(wakeUpType)};
        running_.request_stop();
    }
    wake_.notify_one();
}

void BackgroundReader::cancel() {
    ++generation_;
    busy_ = false;
    done_ = nullptr;
    const std::lock_guard lock(mutex_);
    request_.reset();
    arrived_.reset();
    running_.request_stop();
}

void BackgroundReader::release(std::vector<Picture> pictures) {
    {
        const std::lock_guard lock(mutex_);
        for (Picture& picture : pictures) {
            toRelease_.push_back(std::move(picture));
        }
    }
    wake_.notify_one();
}

void BackgroundReader::work() {
    for (;;) {
        Request request;
        std::stop_token unwanted;
        std::vector<Picture> released;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock,
                       [this] { return quit_ || request_.has_value() || !toRelease_.empty(); });
            released.swap(toRelease_);
            if (quit_) {
                return;
            }
            if (!request_) {
                continue; // only pictures to let go of, outside the lock
            }
            request = std::move(*request_);
            request_.reset();
            running_ = std::stop_source();
            unwanted = running_.get_token();
        }
        released.clear(); // before the read, which may need the memory
        ReadResult result{request.path, std::nullopt, nullptr};
        try {
            result.picture = read_(request.path, request.heldBytes, unwanted);
        } catch (...) {
            result.error = std::current_exception();
        }
        const std::lock_guard lock(mutex_);
        if (unwanted.stop_requested()) {
            continue;
        }
        arrived_ = Arrived{request.generation, std::move(result)};
        // Deleted with the mailbox's other events should the reader go before it is taken.
        QCoreApplication::postEvent(&mailbox_, request.wakeUp.release());
    }
}

bool BackgroundReader::Mailbox::event(QEvent* event) {
    if (event->type() != wakeUpType) {
        return QObject::event(event);
    }
    owner_.collect();
    return true;
}

void BackgroundReader::collect() {
    std::optional<Arrived> arrived;
    {
        const std::lock_guard lock(mutex_);
        arrived.swap(arrived_);
    }
    if (!arrived || arrived->generation != generation_) {
        return; // superseded or cancelled
    }
    busy_ = false;
    const Done done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(std::move(arrived->result));
    }
}

} // namespace platform
