// SPDX-License-Identifier: MIT
#include "FrameStore.h"

#include <algorithm>

namespace playing {

qint64 FrameStore::bytesOf(const platform::Frame& frame) {
    return qint64(frame.picture.width()) * frame.picture.height() * 4;
}

qint64 FrameStore::windowFrames() const {
    return frameBytes_ <= 0 ? 2 : std::max<qint64>(budget_ / frameBytes_, 2);
}

int FrameStore::windowAhead() const {
    return int(windowFrames() / 2);
}

int FrameStore::windowBehind() const {
    return int(windowFrames() - 1 - windowAhead());
}

int FrameStore::forward(int from, int to) const {
    if (loopLength_ > 0) {
        return ((to - from) % loopLength_ + loopLength_) % loopLength_;
    }
    return to - from;
}

bool FrameStore::wanted(int index) const {
    if (keepAll_) {
        return true;
    }
    const int ahead = forward(focus_, index);
    const int behind = forward(index, focus_);
    return (ahead >= 0 && ahead <= windowAhead()) || (behind >= 0 && behind <= windowBehind());
}

FrameStore::Step FrameStore::nextStep() const {
    if (still() || (keepAll_ && loopLength_ > 0)) {
        return Step::Wait; // nothing to read, or every frame is held
    }
    if (keepAll_) {
        return Step::Read; // the first loop, while every frame fits
    }
    const bool atEnd = loopLength_ > 0 && readIndex_ >= loopLength_;
    for (int ahead = 0; ahead <= windowAhead(); ++ahead) {
        const int index = loopLength_ > 0 ? (focus_ + ahead) % loopLength_ : focus_ + ahead;
        if (!frames_.contains(index)) {
            // Reading on reaches a frame at or after the next one read; one before it, or any
            // once the loop is read to its end, needs the file from its start.
            return !atEnd && index >= readIndex_ ? Step::Read : Step::Reopen;
        }
    }
    return Step::Wait;
}

void FrameStore::arrived(platform::Frame frame) {
    const int index = readIndex_++;
    frameBytes_ = bytesOf(frame);
    if (keepAll_ && held_ + frameBytes_ > budget_) {
        keepAll_ = false; // from now on, a window
        evict();
    }
    if (!wanted(index) || frames_.contains(index)) {
        return;
    }
    held_ += frameBytes_;
    frames_.emplace(index, std::move(frame));
    evict();
}

void FrameStore::evict() {
    if (keepAll_) {
        return;
    }
    for (auto it = frames_.begin(); it != frames_.end();) {
        if (!wanted(it->first)) {
            held_ -= bytesOf(it->second);
            it = frames_.erase(it);
        } else {
            ++it;
        }
    }
}

void FrameStore::streamEnded() {
    if (loopLength_ < 0) {
        loopLength_ = readIndex_;
        evict();
    }
}

std::optional<platform::Frame> FrameStore::frame(int index) const {
    const auto it = frames_.find(index);
    return it == frames_.end() ? std::nullopt : std::optional<platform::Frame>(it->second);
}

} // namespace playing
