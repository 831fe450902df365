// SPDX-License-Identifier: MIT
#include "BackgroundReader.h"

#include "QueueHandOff.h"

#include <QMetaObject>

namespace platform {

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
        request_ = Request{path, heldBytes, ++generation_};
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
    running_.request_stop();
}

void BackgroundReader::work() {
    for (;;) {
        Request request;
        std::stop_token unwanted;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || request_.has_value(); });
            if (quit_) {
                return;
            }
            request = std::move(*request_);
            request_.reset();
            running_ = std::stop_source();
            unwanted = running_.get_token();
        }
        ReadResult result{request.path, std::nullopt, nullptr};
        try {
            result.picture = read_(request.path, request.heldBytes, unwanted);
        } catch (...) {
            result.error = std::current_exception();
        }
        if (unwanted.stop_requested()) {
            continue;
        }
        // Shared, so that a result still queued when the reader goes is freed with the queue.
        auto handed = std::make_shared<ReadResult>(std::move(result));
        handOver(handed.get());
        QMetaObject::invokeMethod(
            &resultsArrive_,
            [this, handed, generation = request.generation] {
                takeOver(handed.get());
                finished(generation, std::move(*handed));
            },
            Qt::QueuedConnection);
    }
}

void BackgroundReader::finished(quint64 generation, ReadResult result) {
    if (generation != generation_) {
        return; // superseded or cancelled
    }
    busy_ = false;
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(std::move(result));
    }
}

} // namespace platform
