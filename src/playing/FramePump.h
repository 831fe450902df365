// SPDX-License-Identifier: MIT
#pragma once

// Reads an animation's frames on a worker thread of its own into a FrameStore, as far ahead as
// the store wants and only while playing is wanted; tells the main thread, through its event
// loop, each time a frame has arrived or the file has ended. Everything but the constructor's
// source is shared under one lock.

#include "FrameStore.h"
#include "platform/Frames.h"

#include <QEvent>
#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace playing {

class FramePump {
  public:
    // arrived runs on the thread that made the pump (the main thread).
    FramePump(platform::FrameSource& source, QString path, std::function<void()> arrived,
              qint64 budgetBytes = FrameStore::defaultBudgetBytes);
    ~FramePump(); // stops the reading at once
    FramePump(const FramePump&) = delete;
    FramePump& operator=(const FramePump&) = delete;

    // Whether frames are to be read now (false while the window is hidden).
    void setActive(bool active);
    void focusOn(int index);
    std::optional<platform::Frame> frame(int index) const;
    int loopLength() const;
    bool still() const;
    // How many times the animation plays, 0 for ever; known once a frame has arrived.
    int plays() const;
    // The file ended before its animation did: it plays no further than the frames read.
    bool endedEarly() const;

  private:
    class Mailbox : public QObject {
      public:
        explicit Mailbox(FramePump& owner) : owner_(owner) {}
        bool event(QEvent* event) override;

      private:
        FramePump& owner_;
    };
    void work(std::stop_token stop);
    void readStep(std::unique_lock<std::mutex>& lock, std::stop_token stop);
    void tell(); // with the lock held

    platform::FrameSource& source_;
    const QString path_;
    std::function<void()> arrived_; // main thread only
    Mailbox mailbox_{*this};
    mutable std::mutex mutex_; // guards everything below
    // A plain condition and a flag, not an interruptible wait: libstdc++ 12 ends that wait's stop
    // callback through an atomic wait that can miss its wake-up where there is no futex (MinGW),
    // and the join then waited for ever.
    std::condition_variable wake_;
    FrameStore store_;
    std::unique_ptr<platform::FrameStream> stream_;
    std::unique_ptr<QEvent> wakeUp_; // made on the main thread, posted back by the worker
    int plays_ = 0;
    bool early_ = false;
    bool active_ = true;
    bool stopping_ = false; // set once, by the destructor
    std::jthread worker_;   // last: starts after everything above exists
};

} // namespace playing
