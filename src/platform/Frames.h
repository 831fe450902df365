// SPDX-License-Identifier: MIT
#pragma once

// The frames of an animated picture as the window's side sees them: finished pictures of the
// whole canvas, each with how long it stays, read one after another from the file's first.

#include "Picture.h"

#include <QString>
#include <memory>
#include <optional>
#include <stop_token>

namespace platform {

struct Frame {
    Picture picture;
    int delayMs = 100;
};

class FrameStream {
  public:
    virtual ~FrameStream() = default;
    // The next frame, waiting for it to be read; nothing after the last, or where the rest of
    // the file cannot be read (the animation then ends on the frames read). Any thread, one at a
    // time.
    virtual std::optional<Frame> next() = 0;
    // Known from the first frame on: how many times the animation plays (0: for ever), and how
    // many frames its file declares (-1: it does not say).
    virtual int plays() const = 0;
    virtual int declaredFrames() const = 0;
    // Once next() has given nothing: whether the file ended before its animation did (damage,
    // a cut file, a reader that failed or overran a limit). It then plays no further.
    virtual bool endedEarly() const = 0;
};

class FrameSource {
  public:
    virtual ~FrameSource() = default;
    // The frames of the animation in the file, from its first; the stream gives none where the
    // file holds a still picture. A stop request ends the stream at once. Any thread.
    virtual std::unique_ptr<FrameStream> openFrames(const QString& path, std::stop_token stop) = 0;
};

} // namespace platform
