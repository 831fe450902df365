// SPDX-License-Identifier: MIT
#pragma once

// Reads one picture at a time on a worker thread of its own, for the pictures a person is about
// to ask for. The result comes back on the thread that made the reader (the main thread), through
// its event loop; a read that is cancelled or superseded never comes back.

#include "platform/Picture.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

namespace platform {

struct ReadResult {
    QString path;
    std::optional<Picture> picture; // empty when the read failed
    std::exception_ptr error;       // the read's error, to be raised where the picture is used
};

class BackgroundReader {
  public:
    // How a file is read: the path, the bytes of pictures already held (which the memory bound
    // leaves room for), and a token that says when the read is no longer wanted (a reader may
    // stop early then). Runs on the worker thread, so it must be safe to call there.
    using ReadFunction =
        std::function<Picture(const QString& path, qint64 heldBytes, std::stop_token unwanted)>;
    using Done = std::function<void(ReadResult)>;

    explicit BackgroundReader(ReadFunction read);
    ~BackgroundReader();
    BackgroundReader(const BackgroundReader&) = delete;
    BackgroundReader& operator=(const BackgroundReader&) = delete;

    // Starts reading path, in place of any read not yet finished; done runs on the main thread.
    void start(const QString& path, qint64 heldBytes, Done done);
    // Forgets the read under way: its done never runs.
    void cancel();
    // Lets go of pictures on the worker, before its next read: the last owner of a large
    // picture frees its pages, which takes milliseconds the main thread need not spend.
    void release(std::vector<Picture> pictures);
    // Whether a read has been started and its done has not run yet.
    bool busy() const { return busy_; }

  private:
    struct Request {
        QString path;
        qint64 heldBytes = 0;
        quint64 generation = 0;
        // Made on the main thread and only posted back by the worker, so that nothing the
        // worker allocated travels through Qt's queue, whose locks ThreadSanitizer cannot see.
        std::unique_ptr<QEvent> wakeUp;
    };
    struct Arrived {
        quint64 generation = 0;
        ReadResult result;
    };
    // Lives on the main thread: a wake-up posted to it collects what has arrived.
    class Mailbox : public QObject {
      public:
        explicit Mailbox(BackgroundReader& owner) : owner_(owner) {}
        bool event(QEvent* event) override;

      private:
        BackgroundReader& owner_;
    };
    void work();
    void collect();

    ReadFunction read_;
    Done done_;              // main thread only
    bool busy_ = false;      // main thread only
    quint64 generation_ = 0; // main thread only: the read whose result is wanted
    Mailbox mailbox_{*this};
    std::mutex mutex_; // guards everything below
    std::condition_variable wake_;
    std::optional<Request> request_;
    std::optional<Arrived> arrived_;
    std::vector<Picture> toRelease_;
    std::stop_source running_; // the read under way on the worker
    bool quit_ = false;
    std::thread worker_; // last: starts after everything above exists
};

} // namespace platform
