#pragma once

// A gate that opens once the application object exists. Qt's picture plug-ins are looked up
// through the application's library paths, which are not safe to read while QApplication is
// being built; a reader on another thread that needs them waits here until start-up opens the
// gate, or gives up when start-up is abandoned.

#include <condition_variable>
#include <mutex>

namespace platform {

class ToolkitGate {
  public:
    enum class State { Closed, Open, Abandoned };

    explicit ToolkitGate(State initial = State::Closed) : state_(initial) {}

    void open() { set(State::Open); }
    // Nobody will open the gate any more: whoever waits gives up.
    void abandon() { set(State::Abandoned); }
    // Blocks while the gate is closed; true when it opened.
    bool wait() const {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return state_ != State::Closed; });
        return state_ == State::Open;
    }

  private:
    void set(State state) {
        {
            const std::lock_guard lock(mutex_);
            if (state_ == State::Closed) {
                state_ = state;
            }
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    State state_;
};

} // namespace platform
