// SPDX-License-Identifier: MIT
#pragma once

// Which frames of an animation are held, and which the reading goes on to. Every frame is kept
// while they fit the budget, and the file is then read once; a larger animation keeps a window
// of frames around the one shown (half of it ahead, half behind for stepping back) and reads the
// file again for each loop. Frames are numbered by their place in the loop, from 0. Plain data,
// guarded by its owner.

#include "platform/Frames.h"

#include <QtGlobal>
#include <map>
#include <optional>

namespace playing {

class FrameStore {
  public:
    // A quarter of a gigabyte: the frames of every GIF and screen recording people commonly
    // send (two hundred frames of 640 × 480, a minute of 320 × 240 at 15 frames a second), and
    // a window of 30 full-HD frames beyond that. A fixed figure, not a share of the machine:
    // the window grows no faster on a larger one.
    static constexpr qint64 defaultBudgetBytes = 256LL * 1024 * 1024;

    explicit FrameStore(qint64 budgetBytes = defaultBudgetBytes) : budget_(budgetBytes) {}

    // What the reading should do next.
    enum class Step {
        Read,   // read the frame at readIndex()
        Reopen, // start the file again from its first frame (a frame behind is wanted again)
        Wait,   // every wanted frame is held, or the animation is all read
    };
    Step nextStep() const;
    int readIndex() const { return readIndex_; }

    // The frame at readIndex() has been read (and kept where it is wanted).
    void arrived(platform::Frame frame);
    // The file gave no more frames after readIndex() of them: the end of a loop, or of a still
    // picture (none at all).
    void streamEnded();
    // The file is being read again from its first frame.
    void reopened() { readIndex_ = 0; }

    // The frame the window is centred on: the one shown, or the one a step goes to.
    void focusOn(int index) { focus_ = index; }
    std::optional<platform::Frame> frame(int index) const;
    // Frames in a loop, once the first loop has been read to its end; -1 before.
    int loopLength() const { return loopLength_; }
    bool still() const { return loopLength_ == 0; }
    bool keepsAll() const { return keepAll_; }
    qint64 heldBytes() const { return held_; }
    // The window, once frames no longer all fit: this many frames ahead of the focus are read
    // before they are shown, and this many behind it are kept for stepping back.
    int windowAhead() const;
    int windowBehind() const;

  private:
    // Frames from `from` forwards to `to`, in play order (across a loop's end).
    int forward(int from, int to) const;
    bool wanted(int index) const;
    qint64 windowFrames() const;
    void evict();
    static qint64 bytesOf(const platform::Frame& frame);

    qint64 budget_;
    std::map<int, platform::Frame> frames_;
    qint64 held_ = 0;
    qint64 frameBytes_ = 0;
    int readIndex_ = 0;
    int loopLength_ = -1;
    int focus_ = 0;
    bool keepAll_ = true;
};

} // namespace playing
