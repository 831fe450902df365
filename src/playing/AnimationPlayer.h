// SPDX-License-Identifier: MIT
#pragma once

// Plays the picture shown when its file is an animation: each frame, when due, becomes the
// picture the clipper holds, and the view (whole, or the same region after a zoom) and the
// panoramic copy show it; the selection, the zoom and the window stay as they are. P pauses and
// resumes; while paused, the period and the comma step to the next and previous frame. Nothing
// is read and no timer runs while the window is hidden or minimised. Main thread only.

#include "FrameClock.h"
#include "FramePump.h"
#include "app/KelmoModel.h"

#include <memory>

namespace playing {

class AnimationPlayer {
  public:
    AnimationPlayer(app::KelmoModel& model, FrameClock& clock);
    // The clock it plays by from now on (the tests').
    void useClock(FrameClock& clock) { clock_ = &clock; }

    // After every event: a picture newly shown starts playing where its file animates.
    void followShownPicture();
    // The window's first frame is on screen: playing may begin (nothing is read before, so that
    // the start-up picture is shown as soon as it would be if it did not animate).
    void begin();
    void togglePause();
    // +1 or -1 frames, while paused.
    void step(int frames);
    void setShownOnScreen(bool shown);

    bool animating() const { return pump_ != nullptr; }
    bool paused() const { return paused_; }
    int frameShown() const { return index_; }
    // Frames in a loop, once the file has been read to its end (-1 before).
    int loopLength() const { return pump_ ? pump_->loopLength() : -1; }
    // Whether a frame is wanted that has not been read yet (the first, a late one, a step's).
    bool awaitingFrame() const { return pump_ && (first_ || waiting_ || stepTo_); }

  private:
    void frameArrived();
    // The next frame is due; onTime false when it is shown as soon as it arrives, late.
    void frameDue(bool onTime = true);
    // The frame after the one shown, as playing goes (across a loop's end while plays remain);
    // nothing at the animation's end.
    std::optional<int> nextIndex() const;
    bool show(int index, bool onTime);
    void planNext(int delayMs, bool onTime);
    void stop();

    app::KelmoModel& m_;
    FrameClock* clock_;
    std::unique_ptr<FramePump> pump_;
    platform::Picture current_; // what playing last put in the clipper, or the picture opened
    FrameClockTime openedAt_{};
    FrameSchedule schedule_;
    int index_ = 0;          // the frame shown
    int delayMs_ = 100;      // its time
    int completedPlays_ = 0; // loops played to their end
    bool first_ = true;      // the picture opened stands for frame 0 until it arrives
    bool waiting_ = false;   // the next frame is due but has not been read yet
    bool paused_ = false;
    bool onScreen_ = true;
    bool begun_ = false;
    std::optional<int> stepTo_; // a step waiting for its frame
};

} // namespace playing
