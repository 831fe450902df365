// SPDX-License-Identifier: MIT
#include "AnimationPlayer.h"

namespace playing {

namespace {

// The frame becomes the picture shown: the view keeps showing the whole picture, or the region
// it was zoomed to.
void showFrame(app::KelmoModel& m, const platform::Picture& frame) {
    const platform::Picture& shown = m.Image1.picture();
    const platform::Picture& source = m.PictureClip.Picture();
    const bool whole = shown.sharesPixelsWith(source) && shown.area() == source.area();
    m.PictureClip.setPicture(frame);
    m.Image1.setPicture(whole ? frame : m.PictureClip.Clip());
    m.ImagenPanoramica.setPicture(frame);
}

} // namespace

AnimationPlayer::AnimationPlayer(app::KelmoModel& model, FrameClock& clock)
    : m_(model), clock_(&clock) {}

void AnimationPlayer::begin() {
    begun_ = true;
    followShownPicture();
}

void AnimationPlayer::followShownPicture() {
    const platform::Picture& source = m_.PictureClip.Picture();
    if (!begun_ || (source.sharesPixelsWith(current_) && source.area() == current_.area())) {
        return;
    }
    stop();
    current_ = source;
    if (m_.shownFile.isEmpty() || m_.services.frames == nullptr) {
        return;
    }
    openedAt_ = clock_->now();
    pump_ =
        std::make_unique<FramePump>(*m_.services.frames, m_.shownFile, [this] { frameArrived(); });
    pump_->setActive(onScreen_);
}

void AnimationPlayer::stop() {
    clock_->cancel();
    pump_.reset();
    schedule_.interrupt();
    index_ = 0;
    completedPlays_ = 0;
    first_ = true;
    waiting_ = false;
    paused_ = false;
    stepTo_.reset();
}

void AnimationPlayer::frameArrived() {
    if (pump_ == nullptr) {
        return;
    }
    if (pump_->still()) {
        pump_.reset(); // a still picture: nothing plays
        return;
    }
    if (first_) {
        // Frame 0 takes the place of the picture opened, whose time it continues.
        if (const std::optional<platform::Frame> frame = pump_->frame(0)) {
            first_ = false;
            const platform::Picture& opened = m_.PictureClip.Picture();
            if (frame->picture.size() == opened.size()) {
                showFrame(m_, frame->picture);
                current_ = frame->picture;
            }
            delayMs_ = frame->delayMs;
            if (!paused_ && onScreen_) {
                clock_->wakeAt(schedule_.shown(openedAt_, delayMs_, false), [this] { frameDue(); });
            }
        }
        return;
    }
    if (stepTo_ && show(*stepTo_, false)) {
        stepTo_.reset();
    } else if (waiting_) {
        frameDue(false);
    }
}

std::optional<int> AnimationPlayer::nextIndex() const {
    const int loop = pump_->loopLength();
    if (loop < 0 || index_ + 1 < loop) {
        return index_ + 1;
    }
    const int plays = pump_->plays();
    if (pump_->endedEarly() || (plays > 0 && completedPlays_ + 1 >= plays) || loop <= 1) {
        return std::nullopt; // it stays on its last frame
    }
    return 0;
}

void AnimationPlayer::frameDue(bool onTime) {
    waiting_ = false;
    if (pump_ == nullptr || paused_ || !onScreen_) {
        return;
    }
    const std::optional<int> next = nextIndex();
    if (!next) {
        return;
    }
    if (*next == 0 && index_ != 0) {
        ++completedPlays_;
    }
    if (!show(*next, onTime)) {
        if (*next == 0 && index_ != 0) {
            --completedPlays_;
        }
        waiting_ = true; // shown as soon as it arrives, with its whole time
    }
}

bool AnimationPlayer::show(int index, bool onTime) {
    const std::optional<platform::Frame> frame = pump_->frame(index);
    pump_->focusOn(index);
    if (!frame || frame->picture.size() != m_.PictureClip.Picture().size()) {
        return false;
    }
    showFrame(m_, frame->picture);
    current_ = frame->picture;
    index_ = index;
    delayMs_ = frame->delayMs;
    if (!paused_ && onScreen_) {
        planNext(delayMs_, onTime);
    }
    return true;
}

void AnimationPlayer::planNext(int delayMs, bool onTime) {
    clock_->wakeAt(schedule_.shown(clock_->now(), delayMs, onTime), [this] { frameDue(); });
}

void AnimationPlayer::togglePause() {
    if (pump_ == nullptr) {
        return;
    }
    paused_ = !paused_;
    clock_->cancel();
    schedule_.interrupt();
    waiting_ = false;
    stepTo_.reset();
    if (!paused_ && onScreen_ && !first_) {
        planNext(delayMs_, false); // the frame shown has its whole time again
    }
}

void AnimationPlayer::step(int frames) {
    if (pump_ == nullptr || !paused_ || first_) {
        return;
    }
    const int loop = pump_->loopLength();
    int target = index_ + frames;
    if (loop > 0) {
        target = (target % loop + loop) % loop;
    } else if (target < 0) {
        return; // the end of the loop is not known yet
    }
    stepTo_.reset();
    if (!show(target, false)) {
        stepTo_ = target; // shown once it has been read
    }
}

void AnimationPlayer::setShownOnScreen(bool shown) {
    if (shown == onScreen_) {
        return;
    }
    onScreen_ = shown;
    if (pump_ == nullptr) {
        return;
    }
    pump_->setActive(shown);
    clock_->cancel();
    schedule_.interrupt();
    if (shown && !paused_ && !first_) {
        waiting_ = false;
        planNext(delayMs_, false);
    }
}

} // namespace playing
